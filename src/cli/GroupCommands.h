#pragma once

#include <QString>
#include <QStringList>

class TGroupListOperations;
class TGroupSelection;
class TNewsrcStore;
class TTerminal;
class TTerminalView;
struct TCliRequest;

// The "groups" commands that stay on this machine: listing the profile's groups, moving
// them between the lists and importing a newsrc text file, through the group pane's
// operations on the newsrc store.
class TGroupCommands
{
public:
    struct TParts
    {
        TNewsrcStore& Store;
        TGroupListOperations& Operations;
        TGroupSelection& Selection;
    };

    TGroupCommands(TParts parts, TTerminalView& view, const TTerminal& terminal);

    int Run(const TCliRequest& request);

private:
    int list(const TCliRequest& request);
    int move(const QStringList& names, bool subscribe);
    int import(const QString& file);
    int fail(const QString& text);

    TParts m_parts;
    TTerminalView& m_view;
    const TTerminal& m_terminal;
};
