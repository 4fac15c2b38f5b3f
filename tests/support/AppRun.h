#pragma once

#include "FakeClock.h"
#include "ScriptedView.h"
#include "app/QuorvelApp.h"
#include "base/SettingsStore.h"

#include <QString>

// The program's objects as main() builds them, on the test's settings file, with
// QUORVEL_HOME pointing at its folder (the data folder); time comes from a fake clock. The
// view is the test's: the real window in the window's tests.
struct TAppCore
{
    TAppCore(TView& view, const QString& settingsFile);

    // What the program does at its start: FormCreate with the arguments, then FormShow and
    // the idle hook that runs the queue.
    void StartShown(const QStringList& args = {});
    // What closing the window does.
    void Close();

    TFakeClock clock;
    TSettingsStore store;
    TQuorvelApp app;
};

// Holds the scripted view so that it is built before the application that talks to it.
struct TScriptedViewHolder
{
    TScriptedView view;
};

// One run of the program on the scripted view, which follows start-up as the window does.
// Nothing is started: the test calls app.FormCreate (or StartShown) itself.
struct TAppRun : TScriptedViewHolder, TAppCore
{
    explicit TAppRun(const QString& settingsFile);
};
