#pragma once

#include "FakeClock.h"
#include "GroupsFixture.h"
#include "RunUntil.h"
#include "ScriptedTaskChecks.h"
#include "TaskFileOwnerStub.h"

#include "base/SettingsStore.h"
#include "groups/GroupDownload.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

#include <QTest>

// The store with everything a group task runs through: the task list and runner, the news
// client, the settings store and a clock that stands still.
struct TDownloadFixture : TGroupsFixture
{
    TFakeClock Clock;
    TSettingsStore Settings{State.DataFile(QStringLiteral("settings.ini"))};
    TTaskList Tasks{View, State};
    TTaskFileOwnerStub TaskFileOwner;
    TTaskFile TaskFile{State, Tasks, Logger, View, TaskFileOwner};
    TbcsNNTP Client;
    TTaskRunner Runner{Tasks, TaskFile, Client, View, Logger, State};
    TScriptedTaskChecks Checks;
    TGroupDownload Download{*Store, Tasks, Runner, Client, Settings, Clock, Checks};

    TDownloadFixture()
    {
        Runner.SetHandler(tkGroupDownload, [this](TTask& t) { Download.DoList(t); });
        Runner.SetHandler(tkNewGroups, [this](TTask& t) { Download.DoNew(t); });
        State.Settings.DisconnectWhenDone = false;
    }

    // Steps the runner as the idle hook would until the queue is empty.
    bool RunQueue(int timeoutMs = 20000)
    {
        QObject turn;
        QObject::connect(QAbstractEventDispatcher::instance(),
                         &QAbstractEventDispatcher::aboutToBlock, &turn,
                         [this] { Runner.IdleStep(); });
        return RunUntil([this] { return Tasks.IsEmpty(); }, timeoutMs);
    }

    QString StoredLastUpdate(const QString& key = QStringLiteral("Default")) const
    {
        return Settings.ReadString(key, QStringLiteral("LastUpdate"), QStringLiteral("none"));
    }
};
