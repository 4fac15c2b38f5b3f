// The window against the terminal: the same random file posted in yEnc parts to a private
// INN, once through the whole program behind its main window (offscreen unless a display
// is given) and once by quorvel-cli, several rounds, who goes first alternating. Prints each
// time and the ratio terminal / window (1.0: the window is as fast as the terminal).
//
//   bench_window [--size-mib N] [--max-lines N] [--rounds N]

#include "BenchSupport.h"
#include "FakeClock.h"
#include "app/QuorvelApp.h"
#include "base/SettingsStore.h"
#include "tasks/TaskList.h"
#include "ui/MainForm.h"
#include "ui/ProgramWiring.h"
#include "upload/UploadTaskBuilder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

struct TOptions
{
    qint64 SizeMiB = 256;
    int MaxLines = 2000;
    int Rounds = 3;
};

TOptions parse(const QStringList& args)
{
    TOptions o;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == "--size-mib")
            o.SizeMiB = args[++i].toLongLong();
        else if (args[i] == "--max-lines")
            o.MaxLines = args[++i].toInt();
        else if (args[i] == "--rounds")
            o.Rounds = args[++i].toInt();
    }
    return o;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Seconds the window took: the request the Post button makes, run until the queue is empty.
double postWithWindow(const QString& server, const QString& path, const TOptions& o)
{
    QTemporaryDir home;
    qputenv("QUORVEL_HOME", home.path().toUtf8());
    TFakeClock clock;
    TSettingsStore store{home.filePath("settings.ini")};
    TMainForm form;
    TQuorvelApp logic{form, store, clock};
    TProgramWiring wiring{form, logic};
    logic.FormCreate({});
    ProfileSettings& s = logic.State().Settings;
    s.Host = server;
    s.CheckAfterPost = false;
    form.show();
    logic.FormShow();
    logic.InstallIdleHook();

    TPostRequest r = TPostRequest::FromSettings(s);
    r.Folder = QFileInfo(path).absolutePath();
    r.Files = {path};
    r.Groups = {"quorvel.test"};
    r.From = "bench@quorvel.test (Bench)";
    r.Subject = "window";
    r.MaxLines = o.MaxLines;
    r.Encoding = TBodyEncoding::YEnc;
    QElapsedTimer t;
    t.start();
    logic.UploadTasks().Post(r);
    // The queue runs from the idle step, which comes only when the loop waits for events.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (logic.TaskList().IsEmpty() && !logic.TaskList().RunnerBusy())
            loop.quit();
    });
    poll.start(20);
    loop.exec();
    const double seconds = t.elapsed() / 1000.0;
    form.close();
    logic.FormDestroy();
    return seconds;
}

// Seconds quorvel-cli took for the same post, its set-up not counted.
double postWithTerminal(const QString& server, const QString& path, const TOptions& o)
{
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUORVEL_HOME", home.filePath("home"));
    env.insert("QUORVEL_SETTINGS", home.filePath("quorvel.ini"));
    const QString cli = QCoreApplication::applicationDirPath() + "/../../quorvel-cli";
    const auto run = [&](const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(cli, args);
        p.waitForFinished(-1);
        if (p.exitCode() != 0)
            std::fprintf(stderr, "quorvel-cli %s: %s\n", qPrintable(args.join(' ')),
                         p.readAllStandardError().constData());
        return p.exitCode() == 0;
    };
    for (const QStringList& set : {QStringList{"Host", server},
                                   {"EmailAddress", "bench@quorvel.test"},
                                   {"CheckAfterPost", "0"},
                                   {"Encoding", "yenc"},
                                   {"MaxLines", QString::number(o.MaxLines)}})
        if (!run(QStringList{"profile", "set"} + set))
            return -1;
    QElapsedTimer t;
    t.start();
    if (!run({"post", path, "--group", "quorvel.test", "--subject", "terminal"}))
        return -1;
    return t.elapsed() / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const TOptions o = parse(app.arguments());
    TInnServer inn;
    if (const int status = StartBenchInn(inn, {.Auth = QString(), .Groups = 1}))
        return status;
    QTemporaryDir work;
    const QString path = work.filePath("bench.bin");
    if (!WriteRandomFile(path, o.SizeMiB << 20, 7)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("%lld MiB in yEnc parts of %d lines, %d rounds, platform %s\n",
                static_cast<long long>(o.SizeMiB), o.MaxLines, o.Rounds,
                qPrintable(QGuiApplication::platformName()));
    QList<double> window, terminal;
    for (int round = 0; round < o.Rounds; ++round) {
        // Who goes first alternates, as the server slows down while its spool fills, and each
        // post starts with the spool written out, so that neither pays for the other's flush.
        const auto viaWindow = [&] {
            ::sync();
            window << postWithWindow(inn.Server(), path, o);
        };
        const auto viaTerminal = [&] {
            ::sync();
            terminal << postWithTerminal(inn.Server(), path, o);
        };
        round % 2 ? viaTerminal() : viaWindow();
        round % 2 ? viaWindow() : viaTerminal();
        if (window.last() < 0 || terminal.last() < 0)
            return 1;
        std::printf("round %d: window %.2f s, terminal %.2f s, ratio %.2f\n", round + 1,
                    window.last(), terminal.last(), terminal.last() / window.last());
        std::fflush(stdout);
    }
    QList<double> ratios;
    double windowSum = 0, terminalSum = 0;
    for (int i = 0; i < o.Rounds; ++i) {
        ratios << terminal[i] / window[i];
        windowSum += window[i];
        terminalSum += terminal[i];
    }
    const double w = median(window), t = median(terminal);
    std::printf("median: window %.2f s (%.1f MB/s), terminal %.2f s; window speed %.2fx the "
                "terminal's\n",
                w, o.SizeMiB * 1.048576 / w, t, t / w);
    // The server's pace drifts within a run; each round's pair meets the same moment.
    std::printf("median of the rounds' ratios %.2fx; all rounds together %.2fx\n", median(ratios),
                terminalSum / windowSum);
    return 0;
}
