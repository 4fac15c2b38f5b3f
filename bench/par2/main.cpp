// Recovery files: a large random file made and posted with its PAR2 set through the program's
// own runner and poster, against the parts done apart: par2 create alone, and the program
// posting the file and the same set (made beforehand) alone. Then whether making the next
// file's set while this one is posted would pay: par2 on a second file while the program posts
// the first, against the two one after the other.
//
//   bench_par2 [--size-mib N] [--percent P] [--max-lines N] [--rounds N]

#include "BenchSupport.h"
#include "ScriptedView.h"
#include "TaskFileOwnerStub.h"
#include "article/NewsArticle.h"
#include "base/AppState.h"
#include "base/Clock.h"
#include "base/CommaText.h"
#include "base/Logger.h"
#include "base/SessionLog.h"
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
        upload.SubjectSpec = CommaText::Write({"%s - \"%f\" yEnc (%p/%t) %b", "Bench", path});
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

QProcess* startPar2(const QString& file, const QString& folder, int percent)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    auto* par2 = new QProcess;
    par2->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    par2->setStandardOutputFile(QProcess::nullDevice());
    const QFileInfo info(file);
    par2->start("par2", {"create", "-q", "-r" + QString::number(percent), "-B" + info.path(),
                         "-a" + folder + "/" + info.fileName() + ".par2", "--", file});
    return par2;
}

// CPU seconds (user + system) of the children reaped so far: par2's.
double childCpu()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double timePar2(const QString& file, const QString& folder, int percent)
{
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProcess> par2(startPar2(file, folder, percent));
    par2->waitForFinished(-1);
    return clock.nsecsElapsed() / 1e9;
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
    const QString second = work.filePath("second.bin");
    if (!WriteRandomFile(first, o.SizeMiB << 20, 1) ||
        !WriteRandomFile(second, o.SizeMiB << 20, 2)) {
        std::fprintf(stderr, "cannot write the files in %s\n", qPrintable(work.path()));
        return 1;
    }
    const QString recovery = QString("%1,0,0").arg(o.Percent);
    std::printf("file %lld MiB, %d%% recovery, yEnc, MaxLines %d\n", o.SizeMiB, o.Percent,
                o.MaxLines);
    for (int round = 1; round <= o.Rounds; ++round) {
        ::sync();
        const QString set = work.filePath("set");
        const double cpu0 = childCpu();
        const double create = timePar2(first, set, o.Percent);
        const double cpu1 = childCpu();
        qint64 setBytes = 0;
        TProgram alone;
        alone.add(inn.Server(), first, o.MaxLines, QString());
        for (const QFileInfo& f : QDir(set).entryInfoList(QDir::Files, QDir::Name)) {
            alone.add(inn.Server(), f.filePath(), o.MaxLines, QString());
            setBytes += f.size();
        }
        const double post = alone.run();
        ::sync();
        TProgram whole;
        whole.add(inn.Server(), first, o.MaxLines, recovery);
        const double cpu2 = childCpu();
        const double both = whole.run();
        const double cpu3 = childCpu();
        std::printf("round %d: par2 create %.2f s (set %.1f MiB); posting file and set %.2f s; "
                    "made and posted %.2f s (posting from %.2f s) = %.3fx the sum %.2f s\n",
                    round, create, setBytes / 1048576.0, post, both, whole.FirstLookup,
                    both / (create + post), create + post);
        std::printf("round %d: par2's CPU %.2f s alone, %.2f s run by the program\n", round,
                    cpu1 - cpu0, cpu3 - cpu2);

        // Making the second file's set while the first is posted.
        ::sync();
        TProgram fileOnly;
        fileOnly.add(inn.Server(), first, o.MaxLines, QString());
        const double postFile = fileOnly.run();
        const double createSecond = timePar2(second, work.filePath("set2"), o.Percent);
        TProgram overlapped;
        overlapped.add(inn.Server(), first, o.MaxLines, QString());
        QElapsedTimer clock;
        clock.start();
        std::unique_ptr<QProcess> par2(startPar2(second, work.filePath("set2"), o.Percent));
        const double posted = overlapped.run();
        par2->waitForFinished(-1);
        const double together = clock.nsecsElapsed() / 1e9;
        std::printf("round %d: posting the file %.2f s, par2 on the next %.2f s, one after the "
                    "other %.2f s; together %.2f s (posting done at %.2f s): %.0f%% of the time "
                    "saved\n",
                    round, postFile, createSecond, postFile + createSecond, together, posted,
                    100.0 * (1 - together / (postFile + createSecond)));
        std::fflush(stdout);
    }
    return 0;
}
