// Recovery files: our PAR2 creator against par2 create making the same set (same slice size and
// recovery slice count) of a large random file, wall and CPU time and peak memory, alternating;
// then the file posted with its set made by the program (Recovery "P,0,0") against the file
// posted alone, through the program's own runner and poster.
//
//   bench_par2 [--size-mib N] [--percent P] [--max-lines N] [--rounds N] [--versus-par2 0|1]

#include "BenchSupport.h"
#include "ScriptedView.h"
#include "TaskFileOwnerStub.h"
#include "article/NewsArticle.h"
#include "base/AppState.h"
#include "base/Clock.h"
#include "base/CommaText.h"
#include "base/Logger.h"
#include "base/SessionLog.h"
#include "codec/par2/Gf16Region.h"
#include "codec/par2/Par2Creator.h"
#include "codec/par2/Par2Layout.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"
#include "upload/BatchAccount.h"
#include "upload/UploadPoster.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct TOptions
{
    qint64 SizeMiB = 256;
    int Percent = 10;
    int MaxLines = 5000;
    int Rounds = 1;
    bool VersusPar2 = true; // 0: the posting figures only
};

TOptions parse(const QStringList& args)
{
    TOptions o;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--size-mib")
            o.SizeMiB = args[i + 1].toLongLong();
        else if (args[i] == "--percent")
            o.Percent = args[i + 1].toInt();
        else if (args[i] == "--max-lines")
            o.MaxLines = args[i + 1].toInt();
        else if (args[i] == "--rounds")
            o.Rounds = args[i + 1].toInt();
        else if (args[i] == "--versus-par2")
            o.VersusPar2 = args[i + 1].toInt() != 0;
    }
    return o;
}

// The program as the application wires it, posting upload tasks until its queue is through.
struct TProgram
{
    QTemporaryDir home;
    TScriptedView view;
    TAppState state;
    TSessionLog session{TClock::System()};
    TLogger logger{session, TClock::System()};
    TTaskList list{view, state};
    TTaskFileOwnerStub owner;
    TTaskFile file{state, list, logger, view, owner};
    TNewsArticle article;
    TbcsNNTP client;
    TTaskRunner runner{list, file, client, view, logger, state};
    TUploadPoster poster{article, client, list, runner, view, logger, state};

    TProgram()
    {
        state.ProgramDir = home.path() + "/";
        state.SetProfile("Default");
        state.Settings.CheckAfterPost = false; // the same for every run: no STAT rounds
        client.SetArticle(&article);
        QObject::connect(&client, &TbcsNNTP::OnError, [](const QString& why) {
            std::fprintf(stderr, "error: %s\n", qPrintable(why));
        });
        QObject::connect(&client, &TbcsNNTP::OnPostFailed, [](const QString& why) {
            std::fprintf(stderr, "refused: %s\n", qPrintable(why));
        });
    }

    void add(const QString& server, const QString& path, int maxLines, const QString& recovery)
    {
        TTask t;
        t.Kind = tkUpload;
        const TUploadFields<TTask> upload = UploadFields(t);
        upload.Path = path;
        upload.From = "bench@example.com";
        upload.SubjectParts = CommaText::Write({"%s - \"%f\" yEnc (%p/%t) %b", "Bench", path});
        upload.Groups = "quorvel.bulk.0000001";
        upload.Server = server;
        upload.Login = ",";
        upload.YEnc = true;
        upload.Batch = "bench";
        upload.Recovery = recovery;
        t.Timeout = 60;
        t.PostTimeout = 60;
        t.MaxLines = maxLines;
        list.Add(t);
    }

    double FirstLookup = -1; // when the client first looked up the server: posting began

    // How the set was made, as the log says.
    QString madeFrom() const
    {
        const QStringList made = session.Lines().filter("Recovery files of ");
        return made.isEmpty() ? QStringLiteral("no set")
                              : made.last().section(" made ", 1).section(':', 0, 0);
    }

    // Runs the queue; its elapsed seconds.
    double run()
    {
        QElapsedTimer clock;
        const auto lookup = QObject::connect(&client, &TbcsNNTP::OnNewStatus, [&](TClientStatus s) {
            if (FirstLookup < 0 && (s == csLookingUp || s == csConnecting))
                FirstLookup = clock.nsecsElapsed() / 1e9;
        });
        const auto idle = QObject::connect(QAbstractEventDispatcher::instance(),
                                           &QAbstractEventDispatcher::aboutToBlock, [&] {
                                               if (list.IsEmpty() && !list.RunnerBusy())
                                                   QCoreApplication::exit(0);
                                               else
                                                   runner.IdleStep();
                                               view.Calls.clear();
                                               view.StatusTexts.clear();
                                               view.Progress.clear();
                                           });
        clock.start();
        QCoreApplication::exec();
        QObject::disconnect(idle);
        QObject::disconnect(lookup);
        client.Quit();
        if (!view.Warnings.isEmpty())
            std::fprintf(stderr, "warning: %s\n", qPrintable(view.Warnings.join(" / ")));
        return clock.nsecsElapsed() / 1e9;
    }
};

struct TMeasure
{
    double Wall = 0;
    double Cpu = 0;
    double PeakMiB = 0;
};

double cpuOf(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The process's peak resident memory since resetPeak, in MiB (Linux's VmHWM).
double peakMiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

void resetPeak()
{
    QFile refs("/proc/self/clear_refs");
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

TMeasure timePar2(const QString& file, const QString& folder, qint64 slice, int count)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    QProcess par2;
    par2.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    par2.setStandardOutputFile(QProcess::nullDevice());
    const QFileInfo info(file);
    QElapsedTimer clock;
    const double cpu0 = cpuOf(RUSAGE_CHILDREN);
    clock.start();
    par2.start("par2",
               {"create", "-q", "-s" + QString::number(slice), "-c" + QString::number(count),
                "-B" + info.path(), "-a" + folder + "/" + info.fileName() + ".par2", "--", file});
    par2.waitForFinished(-1);
    TMeasure m{clock.nsecsElapsed() / 1e9, cpuOf(RUSAGE_CHILDREN) - cpu0, 0};
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage); // the largest child so far: par2 is the only one
    m.PeakMiB = usage.ru_maxrss / 1024.0;
    if (par2.exitCode() != 0)
        std::fprintf(stderr, "par2 create failed (%d)\n", par2.exitCode());
    return m;
}

TMeasure timeOurs(const QString& file, const QString& folder, int count)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    TPar2Request request;
    request.File = file;
    request.Folder = folder;
    request.RecoveryCount = count;
    resetPeak();
    const double base = peakMiB();
    QElapsedTimer clock;
    const double cpu0 = cpuOf(RUSAGE_SELF);
    clock.start();
    const TPar2Result result = TPar2Creator(request).Make();
    TMeasure m{clock.nsecsElapsed() / 1e9, cpuOf(RUSAGE_SELF) - cpu0, peakMiB() - base};
    if (!result.Error.isEmpty())
        std::fprintf(stderr, "our creator failed: %s\n", qPrintable(result.Error));
    return m;
}

double loadAverage()
{
    double load[1] = {-1};
    getloadavg(load, 1);
    return load[0];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const TOptions o = parse(app.arguments());
    TInnServer inn;
    if (const int status = StartBenchInn(inn, {.Auth = QString(), .Groups = 1}))
        return status;
    QTemporaryDir work;
    const QString first = work.filePath("first.bin");
    if (!WriteRandomFile(first, o.SizeMiB << 20, 1)) {
        std::fprintf(stderr, "cannot write the file in %s\n", qPrintable(work.path()));
        return 1;
    }
    const qint64 slice = Par2Layout::SliceSize(o.SizeMiB << 20);
    const int count =
        Par2Layout::RecoveryCount(Par2Layout::SliceCount(o.SizeMiB << 20, slice), o.Percent);
    std::printf("file %lld MiB, %d%% recovery: %d recovery slices of %lld bytes; multiply code "
                "%s; yEnc, MaxLines %d\n",
                o.SizeMiB, o.Percent, count, slice, TGf16Factor::Kind(), o.MaxLines);
    for (int round = 1; round <= o.Rounds; ++round) {
        if (o.VersusPar2) {
            ::sync();
            const double load = loadAverage();
            const TMeasure par2 = timePar2(first, work.filePath("theirs"), slice, count);
            const TMeasure ours = timeOurs(first, work.filePath("ours"), count);
            std::printf("round %d (load %.1f): par2 create %.2f s wall, %.2f s CPU, %.0f MiB "
                        "peak; ours %.2f s wall, %.2f s CPU, %.0f MiB more at peak: %.2fx faster "
                        "(wall), %.2fx less CPU\n",
                        round, load, par2.Wall, par2.Cpu, par2.PeakMiB, ours.Wall, ours.Cpu,
                        ours.PeakMiB, par2.Wall / ours.Wall, par2.Cpu / ours.Cpu);
            std::fflush(stdout);
        }

        ::sync();
        const double loadAlone = loadAverage();
        TProgram alone;
        alone.add(inn.Server(), first, o.MaxLines, QString());
        double cpu0 = cpuOf(RUSAGE_SELF);
        const double post = alone.run();
        const double postCpu = cpuOf(RUSAGE_SELF) - cpu0;
        ::sync();
        const double loadBoth = loadAverage();
        TProgram whole;
        whole.add(inn.Server(), first, o.MaxLines, QString("%1,0,0").arg(o.Percent));
        cpu0 = cpuOf(RUSAGE_SELF);
        const double both = whole.run();
        const double bothCpu = cpuOf(RUSAGE_SELF) - cpu0;
        std::printf("round %d (load %.1f / %.1f): posting the file alone %.2f s (%.2f s CPU); "
                    "made and posted with its set %.2f s (%.2f s CPU, posting from %.2f s, set "
                    "made %s): %.3fx\n",
                    round, loadAlone, loadBoth, post, postCpu, both, bothCpu, whole.FirstLookup,
                    qPrintable(whole.madeFrom()), both / post);
        std::fflush(stdout);
    }
    return 0;
}
