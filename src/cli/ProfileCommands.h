#pragma once

#include <QString>

class TQuorvelApp;
class TTerminal;
class TTerminalView;
struct TCliRequest;

// The "profile" commands: show, change and list profiles through the same operations the
// window's profile selector, menu and setup dialog use. Changed settings reach the store
// when the application shuts down, as in the window.
class TProfileCommands
{
public:
    TProfileCommands(TQuorvelApp& app, TTerminalView& view, const TTerminal& terminal);

    int Run(const TCliRequest& request);

private:
    int show();
    int list();
    int set(const QString& key, const QString& value);
    int setPassword(bool dialUp);
    int create(const QString& name);
    int remove(const QString& name);
    int fail(const QString& text);
    // An argument the command does not take: exit status 2, pointing to the command's help.
    int usage(const QString& command, const QString& text);
    int existingIndex(const QString& name) const;

    TQuorvelApp& m_app;
    TTerminalView& m_view;
    const TTerminal& m_terminal;
};
