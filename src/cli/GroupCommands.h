#pragma once

#include <QString>
#include <QStringList>

class TGroupDownload;
class TGroupListOperations;
class TGroupSelection;
class TNewsrcStore;
class TTerminal;
class TTerminalView;
struct TCliRequest;

// The "groups" commands. Listing and moving groups work on the newsrc store through the
// group pane's operations; download and new queue the same tasks as the Groups menu and
// leave them to the runner.
class TGroupCommands
{
public:
    struct TParts
    {
        TNewsrcStore& Store;
        TGroupListOperations& Operations;
        TGroupDownload& Download;
        TGroupSelection& Selection;
    };

    TGroupCommands(TParts parts, TTerminalView& view, const TTerminal& terminal);

    // For download and new: ExitOk once the task is queued (the caller runs it).
    int Run(const TCliRequest& request);
    // After a run of "groups new": the groups it brought, one a line.
    void PrintNewGroups() const;

private:
    int list(const TCliRequest& request);
    int move(const QStringList& names, bool subscribe);
    int import(const QString& file);
    int download();
    int newGroups();
    int fail(const QString& text);

    TParts m_parts;
    TTerminalView& m_view;
    const TTerminal& m_terminal;
};
