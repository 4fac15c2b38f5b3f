// Times LIST of a large group list from a private INN server: TbcsNNTP from ListGroups to
// OnGroupsDone (all names in Groups) next to a plain python3 reader on a raw socket doing the
// same work (connect, greeting, LIST, split off each name), in the same run, alternating.
//
//   bench_list_groups [groups=100000] [rounds=5]
#include "InnServer.h"

#include "net/bcsNNTP.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char* const RawReader = R"(
import socket, sys, time
port = int(sys.argv[1])
start = time.perf_counter()
s = socket.create_connection(("127.0.0.1", port))
f = s.makefile("rb")
if not f.readline().startswith(b"200"):
    sys.exit("no greeting")
s.sendall(b"LIST\r\n")
if not f.readline().startswith(b"215"):
    sys.exit("LIST refused")
groups = []
for line in f:
    if line == b".\r\n":
        break
    groups.append(line.split(b" ", 1)[0].decode())
elapsed = time.perf_counter() - start
s.sendall(b"QUIT\r\n")
print(elapsed, len(groups))
)";

struct TRun
{
    double Seconds = -1;
    qsizetype Groups = 0;
};

TRun runRaw(quint16 port)
{
    QProcess python;
    python.start("python3", {"-c", RawReader, QString::number(port)});
    if (!python.waitForFinished(120000) || python.exitCode() != 0)
        return {};
    const QList<QByteArray> out = python.readAllStandardOutput().trimmed().split(' ');
    return {out.value(0).toDouble(), out.value(1).toLongLong()};
}

TRun runClient(const QString& server)
{
    TbcsNNTP client;
    client.SetServer(server);
    client.SetTimeout(60);
    TRun run;
    QElapsedTimer clock;
    bool done = false;
    QObject::connect(&client, &TbcsNNTP::OnGroupsDone, [&] {
        run.Seconds = clock.nsecsElapsed() / 1e9;
        run.Groups = client.Groups().size();
        done = true;
    });
    QObject::connect(&client, &TbcsNNTP::OnError, [&](const QString& text) {
        std::fprintf(stderr, "client error: %s\n", qPrintable(text));
        done = true;
    });
    QObject::connect(&client, &TbcsNNTP::OnDisconnected, [&] { done = true; });
    clock.start();
    client.ListGroups();
    // A benchmark's own loop: runs until the client reports the end.
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    client.Quit();
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int groups = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (!TInnServer::Available()) {
        std::fprintf(stderr, "%s\n", qPrintable(TInnServer::SkipReason()));
        return 2;
    }
    TInnServer inn;
    TInnServer::TOptions options;
    options.Groups = groups;
    QString error;
    std::printf("starting INN with %d extra groups...\n", groups);
    std::fflush(stdout);
    if (!inn.Start(options, &error)) {
        std::fprintf(stderr, "INN did not start: %s\n", qPrintable(error));
        return 1;
    }
    // One unmeasured pass each warms the server's caches.
    runRaw(inn.Port());
    runClient(inn.Server());
    std::vector<double> raw;
    std::vector<double> ours;
    for (int i = 0; i < rounds; ++i) {
        const TRun r = runRaw(inn.Port());
        const TRun c = runClient(inn.Server());
        if (r.Seconds < 0 || c.Seconds < 0 || r.Groups != c.Groups) {
            std::fprintf(stderr, "round %d failed (raw %lld groups, client %lld groups)\n", i,
                         qlonglong(r.Groups), qlonglong(c.Groups));
            return 1;
        }
        std::printf("round %d: raw python %.3f s, TbcsNNTP %.3f s, %lld groups\n", i + 1, r.Seconds,
                    c.Seconds, qlonglong(c.Groups));
        raw.push_back(r.Seconds);
        ours.push_back(c.Seconds);
    }
    const double rawMedian = median(raw);
    const double oursMedian = median(ours);
    std::printf("median: raw python %.3f s, TbcsNNTP %.3f s, ratio %.2f (goal <= 1.30)\n",
                rawMedian, oursMedian, oursMedian / rawMedian);
    inn.Stop();
    return 0;
}
