#pragma once

class TTaskFile;
class TTaskList;
class TTaskRunner;
class TCommandState;
class TView;
class TWindowView;

// The Tasks menu's handlers that act on the list and the task file.
class TTaskMenu
{
public:
    TTaskMenu(TTaskList& list, TTaskFile& file, TTaskRunner& runner, TView& view,
              TCommandState& commands);

    // The menu opens: "&Clear" is offered only while there is something to clear.
    void TaskMenuClick();
    void TasksClearClick();
    void TasksReloadClick();
    void TasksViewClick(TWindowView& window);

private:
    TTaskList& m_list;
    TTaskFile& m_file;
    TTaskRunner& m_runner;
    TView& m_view;
    TCommandState& m_commands;
};
