#include "tasks/TaskMenu.h"

#include "base/CommandState.h"
#include "base/View.h"
#include "base/WindowView.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

TTaskMenu::TTaskMenu(TTaskList& list, TTaskFile& file, TTaskRunner& runner, TView& view,
                     TCommandState& commands)
    : m_list(list), m_file(file), m_runner(runner), m_view(view), m_commands(commands)
{
}

void TTaskMenu::TaskMenuClick()
{
    m_commands.SetActionEnabled(TViewAction::TasksClear, !m_list.IsEmpty());
}

void TTaskMenu::TasksClearClick()
{
    const bool save = m_view.AskYesNo(QStringLiteral("Would you like to save your tasks?"));
    m_runner.ClearTaskList(save);
}

void TTaskMenu::TasksReloadClick()
{
    m_file.ReadTasks();
}

void TTaskMenu::TasksViewClick(TWindowView& window)
{
    if (m_list.IsEmpty())
        m_view.ShowWarning(QStringLiteral("The task list is empty."));
    else
        window.ShowTaskWindow();
}
