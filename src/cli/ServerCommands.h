#pragma once

#include "base/ServerEntry.h"

#include <QString>

class TServerList;
class TSignalPipe;
class TTerminal;
class TTerminalView;
struct ProfileSettings;
struct TCliRequest;

// The "server" commands: list, add, change, remove and test the profile's servers. Changes
// go into the profile's settings, which reach the store when the application shuts down, as
// with "profile set".
class TServerCommands
{
public:
    TServerCommands(ProfileSettings& settings, TTerminalView& view, const TTerminal& terminal,
                    TSignalPipe& signalPipe);

    int Run(const TCliRequest& request);

private:
    int list();
    int add(const TCliRequest& request);
    int set(const TCliRequest& request);
    int remove(const QString& name);
    int test(const QString& name);
    // Lays the request's options (or its FIELD VALUE pair) over entry; an error text naming
    // what is wrong, empty on success.
    QString apply(const TCliRequest& request, TServerEntry& entry);
    QString applyField(const QString& field, const QString& value, TServerEntry& entry);
    QString askPasswords(const TCliRequest& request, TServerEntry& entry);
    int store(const TServerList& list);
    int usage(const QString& command, const QString& text);
    int fail(const QString& text);

    ProfileSettings& m_settings;
    TTerminalView& m_view;
    const TTerminal& m_terminal;
    TSignalPipe& m_signals;
};
