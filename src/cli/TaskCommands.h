#pragma once

#include <QString>

class TTaskFile;
class TTerminal;
class TTerminalView;
struct TCliRequest;

// The "tasks" commands: what an earlier run left in the task file, and resuming it through
// the Tasks menu's Reload, which also switches to the profile that wrote the file.
class TTaskCommands
{
public:
    TTaskCommands(TTaskFile& file, TTerminalView& view, const TTerminal& terminal);

    // For run: ExitOk once the file's tasks are queued (the caller runs them).
    int Run(const TCliRequest& request);

private:
    int show();
    int reload();
    int fail(const QString& text);

    TTaskFile& m_file;
    TTerminalView& m_view;
    const TTerminal& m_terminal;
};
