// Group list timings on a private INN server holding 100,000 groups:
//  - download: from the task's start to the groups received, saved and counted in the pane,
//    against a plain client that reads the same LIST answer over a blocking socket;
//  - a header-click sort of the 100,000 names, against std::sort with a plain
//    case-insensitive comparison;
//  - the Sort command (three lists sorted and the file rewritten), against GNU sort -f of
//    the same names into a file.
// Each figure is the median of several runs, all in this one run of the program.

#include "InnServer.h"
#include "ScriptedTaskChecks.h"
#include "ScriptedView.h"
#include "TaskFileOwnerStub.h"

#include "base/AppState.h"
#include "base/Clock.h"
#include "base/Logger.h"
#include "base/SessionLog.h"
#include "base/SettingsStore.h"
#include "groups/GroupDownload.h"
#include "groups/GroupListOperations.h"
#include "groups/NewsrcStore.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The peer: connect, read the greeting, send LIST and read up to the final ".".
// Returns the number of group lines, or -1.
int plainList(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    std::string data;
    char buffer[65536];
    auto readUntil = [&](const char* end) {
        while (data.find(end) == std::string::npos) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n <= 0)
                return false;
            data.append(buffer, size_t(n));
        }
        return true;
    };
    if (!readUntil("\r\n")) {
        ::close(fd);
        return -1;
    }
    data.clear();
    const char command[] = "LIST\r\n";
    if (::write(fd, command, sizeof command - 1) != ssize_t(sizeof command - 1) ||
        !readUntil("\r\n.\r\n")) {
        ::close(fd);
        return -1;
    }
    ::close(fd);
    return int(std::count(data.begin(), data.end(), '\n')) - 2;
}

struct TProgram
{
    QTemporaryDir Dir;
    TAppState State;
    TSessionLog Session{TClock::System()};
    TLogger Logger{Session, TClock::System()};
    TScriptedView View;
    TNewsrcStore Store{State, Logger, View};
    TSettingsStore Settings{Dir.path() + "/settings.ini"};
    TTaskList Tasks{View, State};
    TTaskFileOwnerStub TaskFileOwner;
    TTaskFile TaskFile{State, Tasks, Logger, View, TaskFileOwner};
    TbcsNNTP Client;
    TTaskRunner Runner{Tasks, TaskFile, Client, View, Logger, State};
    TScriptedTaskChecks Checks;
    TGroupDownload Download{Store, Tasks, Runner, Client, Settings, TClock::System(), Checks};
    TGroupListOperations Operations{Store};

    explicit TProgram(const QString& server)
    {
        State.ProgramDir = Dir.path() + '/';
        State.SetProfile("Bench");
        Logger.SetFileName(State.DataFile("quorvel.log"));
        State.Settings.Host = server;
        State.Settings.DisconnectWhenDone = false;
        Runner.SetHandler(tkGroupDownload, [this](TTask& t) { Download.DoList(t); });
        Store.ReadNewsrc();
    }

    // Queues a download and returns the seconds from its start to the groups shown.
    double DownloadOnce()
    {
        View.YesNoAnswers << true;
        Download.GroupsDownloadItemClick();
        QEventLoop loop;
        QElapsedTimer timer;
        auto* dispatcher = QAbstractEventDispatcher::instance();
        auto idle = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [&] {
            if (Tasks.IsEmpty())
                loop.quit();
        });
        timer.start();
        Runner.IdleStep(); // the task starts here
        loop.exec();
        const double seconds = timer.nsecsElapsed() / 1e9;
        QObject::disconnect(idle);
        return seconds;
    }
};

void shuffle(TGroupList& list, unsigned seed)
{
    std::mt19937 random(seed);
    std::shuffle(list.begin(), list.end(), random);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int groups = argc > 1 ? atoi(argv[1]) : 100000;
    const int runs = 5;
    if (!TInnServer::Available()) {
        fprintf(stderr, "%s\n", qPrintable(TInnServer::SkipReason()));
        return 1;
    }
    TInnServer inn;
    QString error;
    QElapsedTimer started;
    started.start();
    if (!inn.Start({.Auth = QString(), .Groups = groups}, &error)) {
        fprintf(stderr, "INN did not start: %s\n", qPrintable(error));
        return 1;
    }
    printf("INN with %d extra groups started in %.1f s\n", groups, started.elapsed() / 1000.0);

    TProgram program(inn.Server());
    std::vector<double> ours, peer;
    int peerLines = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        peerLines = plainList(inn.Port());
        peer.push_back(t.nsecsElapsed() / 1e9);
        ours.push_back(program.DownloadOnce());
    }
    const qsizetype shown = program.Store.UnsubList.size();
    if (peerLines <= 0 || shown != peerLines || program.View.GroupCount != shown) {
        fprintf(stderr, "mismatch: peer read %d groups, Quorvel shows %lld (pane %d)\n", peerLines,
                qlonglong(shown), program.View.GroupCount);
        return 1;
    }
    {
        std::vector<double> save;
        for (int i = 0; i < runs; ++i) {
            QElapsedTimer t;
            t.start();
            program.Store.SaveFullList(program.Client.Groups(), program.State.NewsrcPath);
            program.Store.ShowGroups();
            save.push_back(t.nsecsElapsed() / 1e9);
        }
        printf("of which saving and showing: %.3f s\n", median(save));
    }
    printf("download of %lld groups: Quorvel %.3f s, plain LIST reader %.3f s, ratio %.2f "
           "(goal <= 1.5)\n",
           qlonglong(shown), median(ours), median(peer), median(ours) / median(peer));

    // Header click on a shuffled list, against a plain case-insensitive std::sort.
    std::vector<double> click, plainSort;
    TNewsrcStore& store = program.Store;
    store.GroupView = TNewsrcStore::ViewUnsubscribed;
    for (int i = 0; i < runs; ++i) {
        shuffle(store.UnsubList, unsigned(i));
        QStringList names;
        for (const TGroupIndex& g : store.UnsubList)
            names << g.Name;
        QElapsedTimer t;
        t.start();
        std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        plainSort.push_back(t.nsecsElapsed() / 1e9);
        program.Operations.NameSortDescending = true; // the click sorts A to Z
        t.restart();
        program.Operations.GroupListColumnClick(0);
        click.push_back(t.nsecsElapsed() / 1e9);
    }
    printf("header-click sort of %lld names: %.3f s (goal < 0.5 s), plain std::sort %.3f s, "
           "ratio %.2f\n",
           qlonglong(shown), median(click), median(plainSort), median(click) / median(plainSort));

    // The Sort command, against GNU sort -f of the same names into a file.
    std::vector<double> command, gnuSort;
    const QString namesFile = program.Dir.path() + "/names.txt";
    for (int i = 0; i < runs; ++i) {
        shuffle(store.UnsubList, unsigned(100 + i));
        QFile out(namesFile);
        out.open(QIODevice::WriteOnly);
        for (const TGroupIndex& g : store.UnsubList)
            out.write(g.Name.toLatin1() + '\n');
        out.close();
        QElapsedTimer t;
        t.start();
        QProcess::execute("sort", {"-f", "-o", namesFile + ".sorted", namesFile});
        gnuSort.push_back(t.nsecsElapsed() / 1e9);
        program.View.YesNoAnswers << true;
        t.restart();
        program.Operations.Sort1Click();
        command.push_back(t.nsecsElapsed() / 1e9);
    }
    printf("Sort command over %lld groups: %.3f s, GNU sort -f %.3f s, ratio %.2f\n",
           qlonglong(shown), median(command), median(gnuSort), median(command) / median(gnuSort));
    return 0;
}
