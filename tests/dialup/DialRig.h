#pragma once

#include "RunnerFixture.h"
#include "dialup/DialupTasks.h"
#include "dialup/RasBackend.h"
#include "dialup/RasConnection.h"
#include "dialup/Waiter.h"

#include <QAbstractEventDispatcher>
#include <QDBusConnection>
#include <QEventLoop>
#include <QTimer>

#include <functional>
#include <memory>

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
struct TDialRig : RunnerFixture
{
    TQuickWaiter waiter;
    TRasConnection ras{TRasBackend::Create(QDBusConnection::systemBus(), 2000), waiter};
    TDialupTasks dial{state, list, runner, ras, view, logger};
    // What an upload does once started; by default it ends on the next turn of the loop.
    std::function<void()> onUpload = [this] {
        QTimer::singleShot(0, &client, [this] { runner.DoNextTask(); });
    };

    TDialRig()
    {
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
        QObject::connect(&runner, &TTaskRunner::HangupTaskWanted, &dial,
                         &TDialupTasks::AddHangupTask);
        QObject::connect(&runner, &TTaskRunner::DialUpAborted, &dial, &TDialupTasks::AbortDialUp);
        owner.OnCheckRas = [this] { dial.CheckRas(); };
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

    int loggedCount(const QString& text) const { return int(logTexts().count(text)); }

    // Runs the event loop with the runner's idle step at every idle moment, as the program
    // does, until done() holds or a guard of ten seconds passes. Unlike runUntil, it drives
    // the idle step itself and comes back at once for a task left ready.
    bool runTasksUntil(const std::function<bool()>& done)
    {
        const auto steps = idleSteps(done);
        return RunUntil(done, 10000);
    }

    // The same until the loop falls idle twice: a task wrongly released has started by then.
    bool runTasksUntilIdle()
    {
        const auto steps = idleSteps([] { return false; });
        return NothingMoreAfter([] { return true; });
    }

    // The runner's idle step at every idle moment while the object returned lives.
    std::unique_ptr<QObject> idleSteps(const std::function<bool()>& done)
    {
        auto turn = std::make_unique<QObject>();
        QObject::connect(QAbstractEventDispatcher::instance(),
                         &QAbstractEventDispatcher::aboutToBlock, turn.get(),
                         [this, done, context = turn.get()] {
                             runner.IdleStep();
                             // A task that ended inside the step leaves the next one
                             // ready: come back for it.
                             if (!done() && !list.RunnerBusy() && !list.IsEmpty())
                                 QTimer::singleShot(0, context, [] {});
                         });
        return turn;
    }
};
