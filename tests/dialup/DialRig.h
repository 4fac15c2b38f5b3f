#pragma once

#include "FakeClock.h"
#include "ScriptedView.h"
#include "app/AppState.h"
#include "app/Logger.h"
#include "app/SessionLog.h"
#include "dialup/DialupTasks.h"
#include "dialup/RasBackend.h"
#include "dialup/RasConnection.h"
#include "dialup/Waiter.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskLine.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

#include <QAbstractEventDispatcher>
#include <QDBusConnection>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

// Runs the component's waits (forced hang-up, dial window) on the next turn of the loop.
class TQuickWaiter : public TWaiter
{
public:
    void After(int, QObject* context, std::function<void()> then) override
    {
        QTimer::singleShot(0, context, std::move(then));
    }
};

// The dial-up tasks with the task list, its file, the runner and a dial-up component on
// the system bus (the test's private one), wired the way the application wires them.
// Redial waits are scaled down a thousandfold.
struct TDialRig
{
    QTemporaryDir dir;
    TFakeClock clock;
    TScriptedView view;
    TAppState state;
    TSessionLog session{clock};
    TLogger logger{session, clock};
    TTaskList list{view};
    TTaskFile file{state, list, logger, view};
    TbcsNNTP client;
    TTaskRunner runner{list, file, client, view, logger, state};
    TQuickWaiter waiter;
    TRasConnection ras{TRasBackend::Create(QDBusConnection::systemBus(), 2000), waiter};
    TDialupTasks dial{state, list, runner, ras, view, logger};
    QStringList started; // Text1 of every upload that started
    // What an upload does once started; by default it ends on the next turn of the loop.
    std::function<void()> onUpload = [this] {
        QTimer::singleShot(0, &client, [this] { runner.DoNextTask(); });
    };

    TDialRig()
    {
        state.ProgramDir = dir.path() + "/";
        state.SetProfile(QStringLiteral("Default"));
        ProfileSettings& s = state.Settings;
        s.AutoStart = true;
        s.Host = QStringLiteral("news.example.com");
        s.RASOpenBefore = true;
        s.RASCloseConnectionAfter = true;
        s.RASConnection = QStringLiteral("Provider");
        s.RASUserName = QStringLiteral("alice");
        s.RASPassword = QStringLiteral("secret");
        s.SaveRasPassword = true;
        s.RASUseAnotherConnection = false;
        dial.SetTimerScale(0.001);
        runner.SetHandler(tkDialUp, [this](TTask& t) { dial.DoRASDial(t); });
        runner.SetHandler(tkHangup, [this](TTask& t) { dial.DoRasHangup(t); });
        runner.SetHandler(tkUpload, [this](TTask& t) {
            started << t.Text1;
            onUpload();
        });
        runner.SetHooks({.AddHangupTask = [this] { dial.AddHangupTask(); },
                         .AbortDialUp = [this] { dial.AbortDialUp(); }});
        file.SetHooks({.SwitchProfile = {}, .CheckRas = [this] { dial.CheckRas(); }});
    }

    // What Post does: the dial-up check, one upload per file, then disconnect and hang-up.
    void queueBatch(const QStringList& files)
    {
        dial.CheckRas();
        for (const QString& f : files) {
            TTask t;
            t.Kind = tkUpload;
            t.Text1 = f;
            t.Text8 = QStringLiteral("news.example.com");
            list.Add(t);
        }
        runner.DisconnectButtonClick();
    }

    QStringList captions() const
    {
        QStringList out;
        for (int i = 0; i < list.Count(); ++i)
            out << TaskKindCaption(list.At(i).Kind) + " " + list.At(i).Text1;
        return out;
    }

    QStringList logTexts() const
    {
        QStringList out;
        for (const QString& line : session.Lines())
            out << line.mid(line.indexOf(QStringLiteral("   ")) + 3);
        return out;
    }

    int logged(const QString& text) const { return int(logTexts().count(text)); }

    // The task file's tasks as "caption text1", read back with the file's own reader.
    QStringList savedTasks() const
    {
        QFile f(file.FileName());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QString text = QString::fromUtf8(f.readAll());
        TaskLine::TSplitError error;
        const auto records = TaskLine::Split(text.mid(text.indexOf('\n') + 1), 2, &error);
        QStringList out;
        for (const TaskLine::TRecord& r : records.value_or(QList<TaskLine::TRecord>{})) {
            QString why;
            if (const auto t = TaskLine::Read(r.Text, &why))
                out << TaskKindCaption(t->Kind) + " " + t->Text1;
        }
        return out;
    }

    // Runs the event loop with the runner's idle step at every idle moment, as the program
    // does, until done() holds or a guard of ten seconds passes.
    bool runUntil(const std::function<bool()>& done)
    {
        QEventLoop loop;
        const auto idle = QObject::connect(QAbstractEventDispatcher::instance(),
                                           &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
                                               runner.IdleStep();
                                               if (done())
                                                   loop.quit();
                                               // A task that ended inside the step leaves
                                               // the next one ready: come back for it.
                                               else if (!list.RunnerBusy && !list.IsEmpty())
                                                   QTimer::singleShot(0, &loop, [] {});
                                           });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        if (!done())
            loop.exec();
        QObject::disconnect(idle);
        return done();
    }
};
