// Posting throughput and memory: a large random file posted in parts of MaxLines lines to a
// private INN, through the program's own runner, poster and news client, next to a plain
// Python client that POSTs the same articles, encoded in advance, over as many raw connections.
//
//   bench_post [--size-mib N] [--max-lines N] [--rounds N]   throughput against the peer
//              [--connections N[,N...]]                      over N connections (each in turn)
//              [--delay-ms D]                                both through a proxy delaying
//                                                            each direction by D ms
//   bench_post --memory --size-mib N [--connections N]       the program alone, peak memory
//   bench_post --tls ...                                     both over TLS (INN's nnrpd -S)
//   bench_post --accounting [--size-mib N] [--rounds N]      the program alone, without and
//                                                            with the journal and the check
//   bench_post --check [--size-mib N] [--connections N]      the program alone with the check
//              [--delay-ms D] [--check-delay S] [--rounds N] on: time after the last 240
//   bench_post --batch K [--size-mib N] [--connections N,N] the same MiB as K files of one
//              [--delay-ms D] [--rounds N]                 batch, over each N, both clients
//   bench_post --yenc [--size-mib N] [--rounds N]            the program alone, uuencoded and
//                                                            yEnc in turn: bytes on the wire
//   bench_post --socks5 [--size-mib N] [--rounds N] [--tls]  the program straight to the server
//              [--connections N] [--socks5-at HOST:PORT]     and through microsocks (or the
//                                                            proxy given), in turn
//   bench_post --failover [--size-mib N] [--rounds N]        the program posting to INN A with
//              [--connections N] [--post-retries N]        INN B behind it; A killed mid-post:
//                                                            from the kill to B's first 240

#include "BenchSupport.h"
#include "ScriptedView.h"
#include "SocksServer.h"
#include "TaskFileOwnerStub.h"
#include "base/AppState.h"
#include "base/Clock.h"
#include "base/CommaText.h"
#include "base/Logger.h"
#include "base/SessionLog.h"
#include "article/NewsArticle.h"
#include "upload/BatchAccount.h"
#include "upload/UploadPoster.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct TOptions
{
    qint64 SizeMiB = 256;
    int MaxLines = 5000;
    int Rounds = 3;
    bool MemoryOnly = false;
    bool Tls = false;
    bool Failover = false;
    int PostRetries = 2; // a new profile's
    bool YEnc = false;
    bool Accounting = false;
    bool Check = false;
    int CheckDelay = 5; // the profile's default
    int BatchFiles = 0;
    QList<int> Connections = {1};
    int DelayMs = 0;
    bool Socks = false;
    QString SocksAt; // a proxy already running, instead of microsocks
};

// What keeps account of the articles while they are posted: nothing (a task without a
// batch), the batch's journal, or the journal and the check after the batch.
enum class TAccounting
{
    None,
    Journal,
    JournalAndCheck
};

// The groups the program and the plain client post to.
const QString ProgramGroup = QStringLiteral("quorvel.bulk.0000001");
const QString PeerGroup = QStringLiteral("quorvel.bulk.0000002");

// Where the posts go: the server, and the authority file when it speaks TLS.
struct TTarget
{
    QString Server;
    quint16 Port = 0;
    QString CaFile;
    TSocksProxy Proxy; // through this SOCKS5 proxy when set
};

TOptions parse(const QStringList& args)
{
    TOptions o;
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == "--size-mib")
            o.SizeMiB = next.toLongLong(), ++i;
        else if (a == "--max-lines")
            o.MaxLines = next.toInt(), ++i;
        else if (a == "--rounds")
            o.Rounds = next.toInt(), ++i;
        else if (a == "--memory")
            o.MemoryOnly = true;
        else if (a == "--tls")
            o.Tls = true;
        else if (a == "--yenc")
            o.YEnc = true;
        else if (a == "--accounting")
            o.Accounting = true;
        else if (a == "--check")
            o.Check = true;
        else if (a == "--check-delay")
            o.CheckDelay = next.toInt(), ++i;
        else if (a == "--batch")
            o.BatchFiles = qMax(1, next.toInt()), ++i;
        else if (a == "--connections") {
            o.Connections.clear();
            for (const QString& n : next.split(','))
                o.Connections << qMax(1, n.toInt());
            ++i;
        } else if (a == "--socks5")
            o.Socks = true;
        else if (a == "--socks5-at")
            o.Socks = true, o.SocksAt = next, ++i;
        else if (a == "--failover")
            o.Failover = true;
        else if (a == "--post-retries")
            o.PostRetries = next.toInt(), ++i;
        else if (a == "--delay-ms")
            o.DelayMs = next.toInt(), ++i;
    }
    return o;
}

struct TResult
{
    double Seconds = 0;
    qint64 Articles = 0;
    // Where Quorvel's time went, summed over the articles (ms): from a 240 to the next POST,
    // POST to 340, handing the article to the connection, and from the "." to the 240 (which
    // includes the server reading what was still buffered).
    double Gap = 0, Post = 0, Send = 0, Wait = 0;
    double Total = 0;          // until the task has left the list: the check included
    double Cpu = 0;            // seconds of CPU (user + system) this process spent posting
    qint64 WireBytes = 0;      // the articles as they went out: header, body and the final "."
    qint64 WireLines = 0;      // their lines, each ending in CR LF
    double FirstStart = -1;    // when the first file began posting (s after the start)
    double FirstAccepted = -1; // when the server took the first article
    double LastAccepted = -1;  // when the server took the last article (any connection)
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Upload tasks of one batch, one per file, through the program's own machinery, as the
// application wires it, over connections connections at once.
TResult postWithProgram(const TTarget& target, const QStringList& paths, int maxLines,
                        bool yenc = false, TAccounting accounting = TAccounting::None,
                        int connections = 1, int checkDelay = 0)
{
    QTemporaryDir home;
    TScriptedView view;
    TAppState state;
    state.ProgramDir = home.path() + "/";
    state.SetProfile("Default");
    state.Settings.Connections = qint16(connections);
    // The runner hands the profile's connection security to the client before the task.
    if (!target.CaFile.isEmpty()) {
        state.Settings.Security = QStringLiteral("tls");
        state.Settings.TrustedAuthorities = target.CaFile;
    }
    TSessionLog session(TClock::System());
    TLogger logger(session, TClock::System());
    // As in the program: every line the news client logs goes to the log file as well.
    logger.SetFileName(home.filePath("quorvel.log"));
    TTaskList list(view, state);
    TTaskFileOwnerStub owner; // no profile switch, no dial-up
    TTaskFile file(state, list, logger, view, owner);
    TNewsArticle article;
    TbcsNNTP client;
    client.SetArticle(&article);
    TTaskRunner runner(list, file, client, view, logger, state);
    TUploadPoster poster(article, client, list, runner, view, logger, state);
    if (target.Proxy.IsSet())
        runner.ConnectionOverride().Socks = target.Proxy;

    const QString batch = accounting == TAccounting::None ? QString() : TBatchAccount::NewBatchId();
    for (const QString& path : paths) {
        TTask t;
        t.Kind = tkUpload;
        t.Text1 = path;
        t.Text2 = "bench@example.com";
        t.Text5 = CommaText::Write({"%s - %f (%p/%t) %b Bytes", "Quorvel", path});
        t.Text6 = ProgramGroup;
        t.Text8 = target.Server;
        t.Text9 = ",";
        t.Timeout = 60;
        t.PostTimeout = 60;
        t.MaxLines = maxLines;
        UploadFields(t).YEnc = yenc;
        UploadFields(t).Batch = batch;
        list.Add(t);
    }
    state.Settings.CheckAfterPost = accounting == TAccounting::JournalAndCheck;
    state.Settings.CheckDelay = qint16(checkDelay);

    QObject::connect(&client, &TbcsNNTP::OnLogEvent,
                     [&](const QString& text) { logger.LogIt(text.trimmed()); });

    TResult result;
    QElapsedTimer clock;
    QObject::connect(&client, &TbcsNNTP::OnPosted, [&] {
        result.Seconds = clock.nsecsElapsed() / 1e9;
        ++result.Articles;
    });
    QObject::connect(&client, &TbcsNNTP::OnPostFailed, [](const QString& why) {
        std::fprintf(stderr, "refused: %s\n", qPrintable(why));
    });
    QObject::connect(&client, &TbcsNNTP::OnError, [](const QString& why) {
        std::fprintf(stderr, "error: %s\n", qPrintable(why));
    });
    double tPost = 0, t340 = 0, tSent = 0, tDone = -1;
    const auto ms = [&] { return clock.nsecsElapsed() / 1e6; };
    QObject::connect(&client, &TbcsNNTP::OnNewStatus, [&](TClientStatus status) {
        if (status == csPostSent) {
            tPost = ms();
            if (tDone >= 0)
                result.Gap += tPost - tDone;
        } else if (status == csSendingArticle) {
            t340 = ms();
            result.Post += t340 - tPost;
        } else if (status == csArticleSent) {
            tSent = ms();
            result.Send += tSent - t340;
            // The parts of a series are all clean for the wire: the buffer is the body as
            // it went out.
            const TByteLines& body = article.RawBodyLines;
            result.WireBytes += body.Span(0, body.Size()).size() + 3;
            for (const QString& header : std::as_const(article.HeaderLines))
                result.WireBytes += header.toUtf8().size() + 2;
            result.WireBytes += article.Newsgroups.toUtf8().size() + 16;
            result.WireLines += body.Size() + article.HeaderLines.size() + 3;
        }
    });
    QObject::connect(&client, &TbcsNNTP::OnPosted, [&] {
        tDone = ms();
        result.Wait += tDone - tSent;
    });
    QObject::connect(&poster, &TUploadPoster::FileStarted, [&] {
        if (result.FirstStart < 0)
            result.FirstStart = clock.nsecsElapsed() / 1e9;
    });
    QObject::connect(&poster, &TUploadPoster::PartAccepted, [&] {
        result.LastAccepted = clock.nsecsElapsed() / 1e9;
        if (result.FirstAccepted < 0)
            result.FirstAccepted = result.LastAccepted;
    });
    const auto onIdle = [&] {
        if (list.IsEmpty() && !list.RunnerBusy())
            QCoreApplication::exit(0);
        else
            runner.IdleStep();
        // The scripted view records every call it gets, from every connection; over thousands
        // of articles the peak memory would measure its records rather than the program.
        view.Calls.clear();
        view.StatusTexts.clear();
        view.Progress.clear();
    };
    const auto idle = QObject::connect(QAbstractEventDispatcher::instance(),
                                       &QAbstractEventDispatcher::aboutToBlock, onIdle);
    const double cpuBefore = cpuSeconds();
    clock.start(); // the runner starts the task at the first idle moment
    QCoreApplication::exec();
    result.Total = clock.nsecsElapsed() / 1e9;
    result.Cpu = cpuSeconds() - cpuBefore;
    QObject::disconnect(idle);
    client.Quit();
    return result;
}

TResult postWithPeer(const TTarget& target, const QString& path, int maxLines, int connections = 1)
{
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString script = QStringLiteral(QUORVEL_BENCH_DIR) + "/plain_post.py";
    QStringList args = {script,    "127.0.0.1", QString::number(target.Port),
                        PeerGroup, path,        QString::number(maxLines)};
    if (!target.CaFile.isEmpty())
        args << "--tls" << target.CaFile;
    args << "--connections" << QString::number(connections);
    python.start("python3", args);
    python.waitForFinished(-1);
    const QStringList fields = QString::fromLocal8Bit(python.readAll()).split(' ');
    TResult result;
    result.Seconds = fields.value(0).toDouble();
    result.Total = result.Seconds;
    result.Articles = fields.value(1).toLongLong();
    result.Cpu = fields.value(3).toDouble();
    return result;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double peakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The newest article number of a group on the server (GROUP's high mark), -1 when it cannot
// be read: what was posted, counted by the server over every connection.
qint64 highMark(quint16 port, const QString& group)
{
    QTcpSocket socket;
    socket.connectToHost("127.0.0.1", port);
    const auto line = [&] {
        while (!socket.canReadLine())
            if (!socket.waitForReadyRead(30000))
                return QByteArray();
        return socket.readLine().trimmed();
    };
    if (!socket.waitForConnected(30000) || !line().startsWith("200"))
        return -1;
    socket.write("GROUP " + group.toUtf8() + "\r\n");
    const QList<QByteArray> reply = line().split(' ');
    socket.write("QUIT\r\n");
    socket.waitForBytesWritten(1000);
    return reply.value(0) == "211" ? reply.value(3).toLongLong() : -1;
}

// The loopback proxy delaying each direction (delay_proxy.py), started and stopped by its
// process id.
class TDelayProxy
{
public:
    ~TDelayProxy()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate(); // SIGTERM to its process id
            m_process.waitForFinished(5000);
        }
    }

    // Starts it in front of upstreamPort; the port it listens on, 0 on failure.
    quint16 Start(quint16 upstreamPort, int delayMs)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start("python3", {QStringLiteral(QUORVEL_BENCH_DIR) + "/delay_proxy.py",
                                    QString::number(upstreamPort), QString::number(delayMs)});
        while (m_process.waitForReadyRead(10000) || m_process.bytesAvailable() > 0)
            if (m_process.canReadLine())
                return quint16(m_process.readLine().trimmed().toUInt());
        return 0;
    }

    qint64 ProcessId() const { return m_process.processId(); }

private:
    QProcess m_process;
};

// The two clients' throughput over one number of connections.
struct TComparison
{
    int Connections = 1;
    double PeerMedian = 0, OurMedian = 0; // MiB/s
    double RoundRatio = 0;                // median of the rounds' ratios quorvel / plain
    double Together = 0;                  // all rounds' bytes over all rounds' time
};

// Rounds of the program and the plain client, alternating, over connections connections.
// Each side's time runs until its last article is accepted (the program's: until the task
// has left the list); the articles are counted by the server.
TComparison compare(const TOptions& o, const TTarget& target, quint16 innPort, const QString& path,
                    int connections)
{
    const double mib = double(o.SizeMiB);
    QList<double> peerRates, ourRates, ratios;
    double peerSeconds = 0, ourSeconds = 0, peerCpu = 0, ourCpu = 0;
    std::printf("-- %d connection%s\n", connections, connections > 1 ? "s" : "");
    for (int round = 1; round <= o.Rounds; ++round) {
        TResult peer, ours;
        qint64 peerPosted = 0, ourPosted = 0;
        const auto runPeer = [&] {
            const qint64 mark = highMark(innPort, PeerGroup);
            peer = postWithPeer(target, path, o.MaxLines, connections);
            peerPosted = highMark(innPort, PeerGroup) - mark;
        };
        const auto runOurs = [&] {
            const qint64 mark = highMark(innPort, ProgramGroup);
            ours =
                postWithProgram(target, {path}, o.MaxLines, false, TAccounting::None, connections);
            ourPosted = highMark(innPort, ProgramGroup) - mark;
        };
        // Alternate the two clients so that a slower server moment hits both alike; who goes
        // first alternates too, as the server slows down while its spool fills. Each post
        // starts with the spool written out: otherwise whoever posts while the kernel flushes
        // the other's articles is slowed down by it.
        ::sync();
        round % 2 ? runPeer() : runOurs();
        ::sync();
        round % 2 ? runOurs() : runPeer();
        if (peerPosted != peer.Articles || ourPosted != peerPosted)
            std::printf("  articles on the server differ: plain client %lld (it counted %lld), "
                        "quorvel %lld\n",
                        peerPosted, peer.Articles, ourPosted);
        std::printf("round %d: plain client %lld articles %.2f s (%.1f MiB/s); quorvel %lld "
                    "articles %.2f s (%.1f MiB/s); ratio %.2f\n",
                    round, peerPosted, peer.Total, mib / peer.Total, ourPosted, ours.Total,
                    mib / ours.Total, peer.Total / ours.Total);
        // Over one connection the news client the bench watches carries every article.
        if (connections == 1)
            std::printf("  quorvel's time (s): 240 to POST %.2f, POST to 340 %.2f, sending %.2f, "
                        "'.' to 240 %.2f; CPU %.2f\n",
                        ours.Gap / 1000, ours.Post / 1000, ours.Send / 1000, ours.Wait / 1000,
                        ours.Cpu);
        else
            std::printf("  quorvel's CPU %.2f s\n", ours.Cpu);
        std::fflush(stdout);
        peerRates << mib / peer.Total;
        ourRates << mib / ours.Total;
        ratios << peer.Total / ours.Total;
        peerSeconds += peer.Total;
        ourSeconds += ours.Total;
        peerCpu += peer.Cpu;
        ourCpu += ours.Cpu;
    }
    TComparison c;
    c.Connections = connections;
    c.PeerMedian = median(peerRates);
    c.OurMedian = median(ourRates);
    c.RoundRatio = median(ratios);
    c.Together = peerSeconds / ourSeconds;
    std::printf("median: plain client %.1f MiB/s, quorvel %.1f MiB/s, ratio %.2fx (goal >= 0.9x)\n",
                c.PeerMedian, c.OurMedian, c.OurMedian / c.PeerMedian);
    // The server's pace drifts within a run; the ratio of each round's pair is steadier.
    std::printf("median of the rounds' ratios: %.2fx\n", c.RoundRatio);
    // The same bytes posted by both over all rounds: the throughput of the whole run.
    std::printf("all rounds together: plain client %.1f MiB/s, quorvel %.1f MiB/s, ratio %.2fx\n",
                mib * o.Rounds / peerSeconds, mib * o.Rounds / ourSeconds, c.Together);
    const double gib = mib * o.Rounds / 1024;
    std::printf("CPU seconds per GiB posted: plain client %.2f, quorvel %.2f\n", peerCpu / gib,
                ourCpu / gib);
    std::fflush(stdout);
    return c;
}

} // namespace

// The program posting straight to the server and through a SOCKS5 proxy on loopback
// (microsocks, which copies every byte between its two sockets), in alternating order.
// CPU seconds (user + system) a process has spent so far, from /proc.
double processCpu(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readAll().split(')').value(1).split(' ');
    // After the name: state is field 3, utime 14 and stime 15 of the whole line.
    return (fields.value(12).toDouble() + fields.value(13).toDouble()) / sysconf(_SC_CLK_TCK);
}

int compareSocks(TTarget target, const QString& path, const TOptions& o)
{
    TSocksServer socks;
    QString error;
    TTarget proxied = target;
    if (!o.SocksAt.isEmpty() ? !TSocksProxy::Parse(o.SocksAt, &proxied.Proxy, &error)
                             : !socks.Start(QString(), QString(), &error)) {
        std::fprintf(stderr, "no SOCKS5 proxy: %s\n", qPrintable(error));
        return 1;
    }
    if (o.SocksAt.isEmpty())
        proxied.Proxy = {QStringLiteral("127.0.0.1"), socks.Port(), QString(), QString()};
    const int connections = o.Connections.first();
    std::printf("through %s at %s, %d connection(s)\n",
                o.SocksAt.isEmpty() ? "microsocks" : "the proxy", qPrintable(proxied.Proxy.Text()),
                connections);
    const double mib = double(o.SizeMiB);
    QList<double> direct, through, ratios;
    for (int round = 1; round <= o.Rounds; ++round) {
        double seconds[2] = {0, 0};
        for (int k = 0; k < 2; ++k) {
            const bool viaProxy = (k + round) % 2 == 0;
            ::sync();
            const double proxyCpu = processCpu(socks.ProcessId());
            const TResult r = postWithProgram(viaProxy ? proxied : target, {path}, o.MaxLines,
                                              false, TAccounting::None, connections);
            seconds[viaProxy] = r.Total;
            // Over several connections the main client posts none of the articles itself.
            std::printf("round %d, %s: %.2f s (%.1f MiB/s), CPU %.2f s", round,
                        viaProxy ? "through SOCKS5" : "direct", r.Total, mib / r.Total, r.Cpu);
            if (viaProxy && o.SocksAt.isEmpty())
                std::printf(", the proxy's CPU %.2f s", processCpu(socks.ProcessId()) - proxyCpu);
            std::printf("\n");
            std::fflush(stdout);
        }
        direct << seconds[0];
        through << seconds[1];
        ratios << seconds[0] / seconds[1];
    }
    std::printf("median: direct %.1f MiB/s, through SOCKS5 %.1f MiB/s, ratio %.2fx (goal >= "
                "0.9x); median of the rounds' ratios %.2fx\n",
                mib / median(direct), mib / median(through), median(direct) / median(through),
                median(ratios));
    if (o.SocksAt.isEmpty())
        std::printf("microsocks logged %lld connection(s)\n",
                    qint64(socks.Log().count("connected to")));
    return 0;
}

// Kills innd and the readers (nnrpd) it started for the connections, each by process id: an
// nnrpd outliving its innd would spool the posts and answer 240.
void killInn(qint64 innd)
{
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile status("/proc/" + entry + "/status");
        if (status.open(QIODevice::ReadOnly) && status.read(12) == "Name:\tnnrpd\n" &&
            status.readAll().contains("\nPPid:\t" + QByteArray::number(innd) + '\n'))
            ::kill(pid_t(entry.toInt()), SIGKILL);
    }
    ::kill(pid_t(innd), SIGKILL);
}

// Posts path in parts to a with b as the next post server, kills a's innd once a quarter of the
// parts are taken, and returns the seconds from the kill to the first part b took (-1: none).
double failoverOnce(TInnServer& a, const TInnServer& b, const QString& path, const TOptions& o)
{
    QTemporaryDir home;
    TScriptedView view;
    TAppState state;
    state.ProgramDir = home.path() + "/";
    state.SetProfile("Default");
    state.Settings.Connections = qint16(o.Connections.value(0, 1));
    state.Settings.CheckAfterPost = false;
    state.Settings.PostRetries = qint16(o.PostRetries);
    state.Settings.Host = a.Server();
    TServerEntry next;
    next.Name = "B";
    next.Host = "127.0.0.1";
    next.Port = b.Port();
    next.Priority = 1;
    next.Connections = state.Settings.Connections;
    state.Settings.FurtherServers = {next};
    TSessionLog session(TClock::System());
    TLogger logger(session, TClock::System());
    TTaskList list(view, state);
    TTaskFileOwnerStub owner;
    TTaskFile file(state, list, logger, view, owner);
    TNewsArticle article;
    TbcsNNTP client;
    client.SetArticle(&article);
    TTaskRunner runner(list, file, client, view, logger, state);
    TUploadPoster poster(article, client, list, runner, view, logger, state);
    QObject::connect(&client, &TbcsNNTP::OnLogEvent,
                     [&](const QString& text) { logger.LogIt(text.trimmed()); });
    TTask t;
    t.Kind = tkUpload;
    t.Text1 = path;
    t.Text2 = "bench@example.com";
    t.Text5 = CommaText::Write({"%s - %f (%p/%t) %b Bytes", "Quorvel", path});
    t.Text6 = ProgramGroup;
    t.Text8 = a.Server();
    t.Text9 = ",";
    t.Timeout = 60;
    t.PostTimeout = 60;
    t.MaxLines = o.MaxLines;
    UploadFields(t).YEnc = true;
    UploadFields(t).Batch = TBatchAccount::NewBatchId();
    list.Add(t);
    QElapsedTimer clock;
    qint64 killedAt = -1, onB = -1;
    QObject::connect(&poster, &TUploadPoster::PartAccepted,
                     [&](const QString&, qint64 part, qint64 parts) {
                         if (killedAt < 0 && part * 4 >= parts) {
                             killInn(a.ProcessId());
                             killedAt = clock.nsecsElapsed();
                         } else if (killedAt >= 0 && onB < 0 && client.Server() == next.Address()) {
                             onB = clock.nsecsElapsed();
                         }
                     });
    const auto onIdle = [&] {
        if (list.IsEmpty() && !list.RunnerBusy())
            QCoreApplication::exit(0);
        else
            runner.IdleStep();
        view.Calls.clear();
    };
    const auto idle = QObject::connect(QAbstractEventDispatcher::instance(),
                                       &QAbstractEventDispatcher::aboutToBlock, onIdle);
    clock.start();
    QCoreApplication::exec();
    QObject::disconnect(idle);
    client.Quit();
    for (const QString& line : session.Lines().filter(QRegularExpression(
             qEnvironmentVariableIsSet("BENCH_LOG") ? "." : "Switched from|Error|trying again")))
        std::printf("  %s\n", qPrintable(line));
    return onB < 0 ? -1 : (onB - killedAt) / 1e9;
}

int failover(const TOptions& o, const QString& path)
{
    QList<double> times;
    TInnServer::TOptions innOptions;
    innOptions.Groups = 2;
    TInnServer b;
    if (const int status = StartBenchInn(b, innOptions))
        return status;
    for (int round = 1; round <= o.Rounds; ++round) {
        TInnServer a;
        if (const int status = StartBenchInn(a, innOptions))
            return status;
        const double seconds = failoverOnce(a, b, path, o);
        std::printf("round %d, %d connection(s), PostRetries %d: from the kill of A to the first "
                    "part B took %.3f s\n",
                    round, o.Connections.value(0, 1), o.PostRetries, seconds);
        std::fflush(stdout);
        if (seconds >= 0)
            times << seconds;
    }
    if (!times.isEmpty())
        std::printf("median %.3f s\n", median(times));
    return times.size() == o.Rounds ? 0 : 1;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const TOptions o = parse(app.arguments());
    if (o.Failover) {
        QTemporaryDir work;
        const QString path = work.filePath("random.bin");
        if (!WriteRandomFile(path, o.SizeMiB << 20, 42)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        return failover(o, path);
    }
    TInnServer inn;
    TInnServer::TOptions innOptions;
    innOptions.Groups = 2;
    QString error;
    QTemporaryDir work;
    if (o.Tls && !TInnServer::MakeTestCertificates(work.filePath("pki"), &error)) {
        std::fprintf(stderr, "no test certificates: %s\n", qPrintable(error));
        return 1;
    }
    if (o.Tls)
        innOptions.TlsDir = work.filePath("pki");
    if (const int status = StartBenchInn(inn, innOptions))
        return status;
    TTarget target{inn.Server(), inn.Port(), QString(), TSocksProxy()};
    if (o.Tls) {
        target.Port = inn.StartTlsListener(&error);
        if (!target.Port) {
            std::fprintf(stderr, "no TLS listener: %s\n", qPrintable(error));
            return 1;
        }
        target.Server = QString("127.0.0.1:%1").arg(target.Port);
        target.CaFile = work.filePath("pki/ca.pem");
    }
    TDelayProxy proxy;
    if (o.DelayMs > 0) {
        target.Port = proxy.Start(target.Port, o.DelayMs);
        if (!target.Port) {
            std::fprintf(stderr, "the delaying proxy did not start\n");
            return 1;
        }
        target.Server = QString("127.0.0.1:%1").arg(target.Port);
        std::printf("through a proxy delaying each direction by %d ms (process %lld, port %u)\n",
                    o.DelayMs, proxy.ProcessId(), target.Port);
    }
    const QString path = work.filePath("random.bin");
    if (!WriteRandomFile(path, o.SizeMiB << 20, 42)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    const double mib = double(o.SizeMiB);
    std::printf("file %lld MiB, MaxLines %d%s\n", o.SizeMiB, o.MaxLines, o.Tls ? ", over TLS" : "");

    if (o.Accounting) {
        // The same upload without accounting, with the journal, and with the check after it,
        // in turn each round.
        const char* names[] = {"no journal", "journal", "journal and check"};
        QList<double> totals[3];
        for (int round = 1; round <= o.Rounds; ++round) {
            for (int mode = 0; mode < 3; ++mode) {
                ::sync();
                const TResult r =
                    postWithProgram(target, {path}, o.MaxLines, false, TAccounting(mode));
                totals[mode] << r.Total;
                // What came after the last article's 240: the check, and the NZB file.
                std::printf("round %d, %s: %lld articles, %.2f s (%.1f MiB/s), CPU %.2f s, "
                            "after the last article %.3f s\n",
                            round, names[mode], r.Articles, r.Total, mib / r.Total, r.Cpu,
                            r.Total - r.Seconds);
                std::fflush(stdout);
            }
        }
        const double plain = median(totals[0]);
        std::printf("median: no journal %.2f s; journal %.2f s (%+.1f%%); journal and check "
                    "%.2f s (%+.1f%%)\n",
                    plain, median(totals[1]), 100 * (median(totals[1]) / plain - 1),
                    median(totals[2]), 100 * (median(totals[2]) / plain - 1));
        return 0;
    }

    if (o.Check) {
        // One file with the check on: how long the batch takes after the server took its last
        // article (goal: at most the check's delay and a second).
        const int connections = o.Connections.last();
        QList<double> after;
        for (int round = 1; round <= o.Rounds; ++round) {
            ::sync();
            const TResult r =
                postWithProgram(target, {path}, o.MaxLines, false, TAccounting::JournalAndCheck,
                                connections, o.CheckDelay);
            after << r.Total - r.LastAccepted;
            std::printf("round %d: %lld MiB over %d connection(s), CheckDelay %d s: last 240 at "
                        "%.2f s, batch ended at %.2f s, after the last 240 %.2f s; CPU %.2f s\n",
                        round, o.SizeMiB, connections, o.CheckDelay, r.LastAccepted, r.Total,
                        r.Total - r.LastAccepted, r.Cpu);
            std::fflush(stdout);
        }
        std::printf("median after the last 240: %.2f s (goal: at most %d s)\n", median(after),
                    o.CheckDelay + 1);
        return 0;
    }

    if (o.Socks)
        return compareSocks(target, path, o);

    if (o.YEnc) {
        const double fileBytes = double(o.SizeMiB << 20);
        for (int round = 1; round <= o.Rounds; ++round) {
            for (const bool yenc : {false, true}) {
                ::sync();
                const TResult r = postWithProgram(target, {path}, o.MaxLines, yenc);
                // Also with one byte per line end, as a file of the articles holds them.
                std::printf("round %d, %s: %lld articles in %.2f s (%.1f MiB/s), CPU %.2f s; "
                            "wire bytes / file bytes %.4f (%.4f with LF line ends)\n",
                            round, yenc ? "yEnc" : "uuencode", r.Articles, r.Seconds,
                            mib / r.Seconds, r.Cpu, r.WireBytes / fileBytes,
                            (r.WireBytes - r.WireLines) / fileBytes);
                std::fflush(stdout);
            }
        }
        std::printf("peak memory (max RSS) of this process: %.1f MiB\n", peakMiB());
        return 0;
    }

    if (o.BatchFiles > 0) {
        // The same bytes as files of one batch, journal kept as every post keeps it.
        QStringList files;
        for (int k = 0; k < o.BatchFiles; ++k) {
            files << work.filePath(QStringLiteral("file%1.bin").arg(k + 1));
            if (!WriteRandomFile(files.last(), (o.SizeMiB << 20) / o.BatchFiles, quint32(k + 1))) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(files.last()));
                return 1;
            }
        }
        const QString list = work.filePath(QStringLiteral("files.list"));
        QFile listed(list);
        if (!listed.open(QIODevice::WriteOnly) || listed.write(files.join('\n').toUtf8()) < 0 ||
            !listed.flush()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(list));
            return 1;
        }
        listed.close();
        std::printf("the same bytes as a batch of %d files\n", o.BatchFiles);
        QList<double> ours[8], peers[8];
        for (int round = 1; round <= o.Rounds; ++round)
            for (qsizetype n = 0; n < o.Connections.size() && n < 8; ++n) {
                const qint64 ourMark = highMark(inn.Port(), ProgramGroup);
                const qint64 peerMark = highMark(inn.Port(), PeerGroup);
                TResult r, peer;
                // Who posts first alternates from round to round.
                for (const bool oursNow : {round % 2 == 1, round % 2 == 0}) {
                    ::sync();
                    if (oursNow)
                        r = postWithProgram(target, files, o.MaxLines, false, TAccounting::Journal,
                                            o.Connections[n]);
                    else
                        peer = postWithPeer(target, "@" + list, o.MaxLines, o.Connections[n]);
                }
                ours[n] << r.Total;
                peers[n] << peer.Seconds;
                const qint64 articles = highMark(inn.Port(), ProgramGroup) - ourMark;
                std::printf("round %d, %d connection(s): quorvel %lld articles on the server in "
                            "%.2f s (%.2f ms a file, CPU %.2f s, %.3f ms an article; first file "
                            "started at %.3f s, first article taken at %.3f s), plain client "
                            "%lld in %.2f s: %.2fx\n",
                            round, o.Connections[n], articles, r.Total,
                            1000 * r.Total / o.BatchFiles, r.Cpu,
                            1000 * r.Cpu / std::max<qint64>(articles, 1), r.FirstStart,
                            r.FirstAccepted, highMark(inn.Port(), PeerGroup) - peerMark,
                            peer.Seconds, peer.Seconds / r.Total);
                std::fflush(stdout);
            }
        for (qsizetype n = 0; n < o.Connections.size() && n < 8; ++n)
            std::printf("%d connection(s): quorvel median %.2f s, %.1f MiB/s, %.2fx of %d; plain "
                        "client median %.2f s; ratio of medians %.2fx\n",
                        o.Connections[n], median(ours[n]), mib / median(ours[n]),
                        median(ours[0]) / median(ours[n]), o.Connections[0], median(peers[n]),
                        median(peers[n]) / median(ours[n]));
        return 0;
    }

    if (o.MemoryOnly) {
        const int connections = o.Connections.value(0, 1);
        const qint64 mark = highMark(inn.Port(), ProgramGroup);
        const double before = peakMiB();
        const TResult r =
            postWithProgram(target, {path}, o.MaxLines, false, TAccounting::None, connections);
        std::printf("quorvel over %d connections: %lld articles on the server in %.2f s, "
                    "%.1f MiB/s\n",
                    connections, highMark(inn.Port(), ProgramGroup) - mark, r.Total, mib / r.Total);
        std::printf("peak memory (max RSS): %.1f MiB (%.1f MiB before posting)\n", peakMiB(),
                    before);
        return 0;
    }

    QList<TComparison> table;
    for (const int connections : o.Connections)
        table << compare(o, target, inn.Port(), path, connections);
    std::printf("\nconnections | plain client (median) | quorvel (median) | ratio of medians | "
                "median of rounds' ratios | all rounds together\n");
    for (const TComparison& c : table)
        std::printf("%d | %.1f MiB/s | %.1f MiB/s | %.2fx | %.2fx | %.2fx\n", c.Connections,
                    c.PeerMedian, c.OurMedian, c.OurMedian / c.PeerMedian, c.RoundRatio,
                    c.Together);
    std::printf("peak memory (max RSS) of this process: %.1f MiB\n", peakMiB());
    return 0;
}
