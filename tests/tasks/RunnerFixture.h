#pragma once

#include "RunUntil.h"
#include "TaskFixture.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskLine.h"
#include "tasks/TaskMenu.h"
#include "tasks/TaskRunner.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTimer>
#include <functional>

// The runner with a news client, wired as the application wires it, plus a record of what
// the first status bar panel showed at each idle moment.
struct RunnerFixture : TaskFixture
{
    TbcsNNTP client;
    TTaskRunner runner{list, file, client, view, logger, state};
    TTaskMenu menu{list, file, runner, view, state.Commands};
    QList<int> panelCounts; // "Tasks: %d" at each idle moment, repeats left out
    QStringList started;    // Text1 of each task a test handler started
    int hangupsQueued = 0;
    int dialAborts = 0;
    QMetaObject::Connection idleHook;

    RunnerFixture()
    {
        QObject::connect(&runner, &TTaskRunner::HangupTaskWanted, [this] { ++hangupsQueued; });
        QObject::connect(&runner, &TTaskRunner::DialUpAborted, [this] { ++dialAborts; });
    }

    ~RunnerFixture() { QObject::disconnect(idleHook); }

    // One idle moment as the application runs it: the window refresh, then the runner.
    void idle()
    {
        const int count = runner.IdleState().TaskCount;
        if (panelCounts.isEmpty() || panelCounts.last() != count)
            panelCounts << count;
        runner.IdleStep();
    }

    // Lets the event loop drive the idle step, as the program does.
    void runIdleFromEventLoop()
    {
        idleHook = QObject::connect(QAbstractEventDispatcher::instance(),
                                    &QAbstractEventDispatcher::aboutToBlock, [this] { idle(); });
    }

    // Runs the event loop, idle moments included, until done() holds (or a guard of a few
    // seconds passes, which the caller's check then reports).
    bool runUntil(const std::function<bool()>& done) { return RunUntil(done); }

    // Uploads end from a later event, the way a posted reply ends them.
    void handleUploadsEndingLater()
    {
        runner.SetHandler(tkUpload, [this](TTask& task) {
            started << task.Text1;
            QTimer::singleShot(0, &client, [this] { runner.DoNextTask(); });
        });
    }

    // Uploads that start and then wait for whatever the test does next.
    void handleUploadsWaiting()
    {
        runner.SetHandler(tkUpload, [this](TTask& task) { started << task.Text1; });
    }

    // The saved tasks as "caption text1", read back with the task file's own reader.
    QStringList savedTasks() const
    {
        QStringList out;
        const QString text = QString::fromUtf8(fileBytes());
        TaskLine::TSplitError error;
        const auto records = TaskLine::Split(text.mid(text.indexOf('\n') + 1), 2, &error);
        for (const TaskLine::TRecord& r : records.value_or(QList<TaskLine::TRecord>{})) {
            QString why;
            if (const auto t = TaskLine::Read(r.Text, &why))
                out << TaskKindCaption(t->Kind) + " " + t->Text1;
        }
        return out;
    }
};
