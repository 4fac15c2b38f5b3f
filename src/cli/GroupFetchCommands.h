#pragma once

#include <QString>

class TGroupDownload;
class TNewsrcStore;
class TTerminal;
class TTerminalView;
struct TCliRequest;

// "groups download" and "groups new": queue the same tasks as the Groups menu; the caller
// runs them. Afterwards the groups a query brought can be printed.
class TGroupFetchCommands
{
public:
    TGroupFetchCommands(TGroupDownload& download, TNewsrcStore& store, TTerminalView& view,
                        const TTerminal& terminal);

    // ExitOk once the task is queued.
    int Queue(const TCliRequest& request);
    // After a run of "groups new": the new groups, one a line.
    void PrintNewGroups() const;

private:
    int fail(const QString& text);

    TGroupDownload& m_download;
    TNewsrcStore& m_store;
    TTerminalView& m_view;
    const TTerminal& m_terminal;
};
