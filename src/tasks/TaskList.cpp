#include "tasks/TaskList.h"

#include "base/AppState.h"
#include "base/View.h"

TTaskList::TTaskList(TView& view, TAppState& state) : m_view(view), m_state(state) {}

void TTaskList::stamp(TTask& task) const
{
    if (task.Profile.isEmpty())
        task.Profile = m_state.ProfileName;
}

TTaskList::TQueued TTaskList::queued(TTask task)
{
    stamp(task);
    return {std::make_unique<TTask>(std::move(task)), ++m_lastId};
}

int TTaskList::IndexOf(TTaskId id) const
{
    for (size_t i = 0; i < m_tasks.size(); ++i)
        if (m_tasks[i].Id == id)
            return int(i);
    return -1;
}

TTask& TTaskList::Add(TTask task)
{
    m_tasks.push_back(queued(std::move(task)));
    AddTaskToView(*m_tasks.back().Task);
    return *m_tasks.back().Task;
}

void TTaskList::AddTaskToView(const TTask& task)
{
    m_view.TaskViewAdd(task.ViewRow());
}

TTask& TTaskList::Insert(int index, TTask task)
{
    const auto at = m_tasks.insert(m_tasks.begin() + index, queued(std::move(task)));
    m_view.TaskViewInsert(index, at->Task->ViewRow());
    return *at->Task;
}

void TTaskList::RemoveHead()
{
    if (m_tasks.empty())
        return;
    m_tasks.erase(m_tasks.begin());
    m_headStarted = false;
    m_view.TaskViewRemoveFirst();
}

bool TTaskList::RemoveAt(int index)
{
    if (index == 0) {
        RemoveHead();
        return true;
    }
    if (index < 0 || index >= Count())
        return false;
    m_tasks.erase(m_tasks.begin() + index);
    emit RowRemoved(index);
    return true;
}

bool TTaskList::Move(int from, int to)
{
    if (from < 0 || to < 0 || from >= Count() || to >= Count())
        return false;
    if (from == to)
        return true;
    TQueued task = std::move(m_tasks[size_t(from)]);
    m_tasks.erase(m_tasks.begin() + from);
    m_tasks.insert(m_tasks.begin() + to, std::move(task));
    emit RowMoved(from, to);
    return true;
}

void TTaskList::Clear()
{
    m_tasks.clear();
    m_headStarted = false;
    m_view.TaskViewClear();
    m_state.Commands.SetActionEnabled(TViewAction::Disconnect, false);
    m_state.Commands.SetActionEnabled(TViewAction::Abort, false);
    m_runnerBusy = false;
}
