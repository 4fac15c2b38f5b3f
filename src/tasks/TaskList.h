#pragma once

#include "tasks/Task.h"

#include <QObject>
#include <memory>
#include <vector>

struct TAppState;
class TView;

// The queue of pending tasks, head first, and its companion task view: every change of
// the list is mirrored in the view, one top-level node per task. Where the head task
// stands (running, which part, why it failed) is announced for the window's task list.
class TTaskList : public QObject
{
    Q_OBJECT
public:
    TTaskList(TView& view, TAppState& state);

    // A task is running, or the queue is held because Auto Start is off. Set by the runner
    // and by the handler that starts a task; everyone else reads it.
    bool RunnerBusy() const { return m_runnerBusy; }
    void SetRunnerBusy(bool busy) { m_runnerBusy = busy; }
    // A dial-up task has been queued and no hang-up task since.
    bool DialUpQueued = false;

    int Count() const { return static_cast<int>(m_tasks.size()); }
    bool IsEmpty() const { return m_tasks.empty(); }
    TTask& Head() { return *m_tasks.front().Task; }
    const TTask& At(int index) const { return *m_tasks.at(static_cast<size_t>(index)).Task; }
    // A task's identity while it is queued: given when it is added, kept when it moves or is
    // changed in place, never given again in this run. Whether a task is still the head, or
    // is the one an operation began with, is asked by it, never by comparing values.
    using TTaskId = quint64;
    TTaskId HeadId() const { return m_tasks.empty() ? 0 : m_tasks.front().Id; }
    TTaskId IdAt(int index) const { return m_tasks.at(static_cast<size_t>(index)).Id; }
    // Where the task of that identity stands; -1 when it is no longer queued.
    int IndexOf(TTaskId id) const;

    // Appends the task at the end and shows it at the end of the task view. A task that names
    // no profile is queued from the current one.
    TTask& Add(TTask task);
    void AddTaskToView(const TTask& task);

    // Puts the task before the one at index (0: at the head), in the task view as well.
    TTask& Insert(int index, TTask task);
    // Frees the head task and drops its node; nothing happens on an empty list.
    void RemoveHead();
    // Drops the task at index, or moves it to stand at index to; the window's queue follows
    // (RowRemoved, RowMoved). False for an index outside the list.
    bool RemoveAt(int index);
    bool Move(int from, int to);
    // Frees every task, empties the view, disables Disconnect and Abort and clears
    // RunnerBusy. Saving first is the caller's business.
    void Clear();

    // The head task's state as a reader sees it: "running", "running, part 3 of 40".
    void SetHeadState(const QString& state)
    {
        m_headStarted = true;
        emit HeadStateChanged(state);
    }
    // The head has been started (a state was given for it) since it became the head.
    bool HeadStarted() const { return m_headStarted; }
    // The head task stopped for that reason; the list is cleared (and saved) next.
    void SetHeadFailed(const QString& reason) { emit HeadFailed(reason); }
    // The state of the task at index behind the head that has started already.
    void SetState(int index, const QString& state) { emit StateChanged(index, state); }

signals:
    void HeadStateChanged(const QString& state);
    void HeadFailed(const QString& reason);
    void StateChanged(int index, const QString& state);
    void RowRemoved(int index);
    void RowMoved(int from, int to);

private:
    void stamp(TTask& task) const;

    TView& m_view;
    TAppState& m_state;
    bool m_runnerBusy = false;
    bool m_headStarted = false;
    struct TQueued
    {
        std::unique_ptr<TTask> Task;
        TTaskId Id = 0;
    };
    TQueued queued(TTask task);

    std::vector<TQueued> m_tasks;
    TTaskId m_lastId = 0;
};
