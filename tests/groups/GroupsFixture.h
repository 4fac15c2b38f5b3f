#pragma once

#include "ScriptedView.h"
#include "TestFiles.h"
#include "base/AppState.h"
#include "base/Clock.h"
#include "base/Logger.h"
#include "base/SessionLog.h"
#include "groups/NewsrcStore.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

// One record as the file holds it, built byte by byte so the tests do not reuse the code
// they check: the name NUL-padded to 76 bytes, the count little-endian, the flag.
inline QByteArray Record(const QByteArray& name, qint32 count, quint8 flag)
{
    QByteArray r = name.left(75);
    r.resize(76, '\0');
    const quint32 c = quint32(count);
    for (int i = 0; i < 4; ++i)
        r.append(char((c >> (8 * i)) & 0xff));
    r.append(char(flag));
    return r;
}

// A profile in a private folder with its store, view and log.
struct TGroupsFixture
{
    QTemporaryDir Dir;
    TAppState State;
    TSessionLog Session{TClock::System()};
    TLogger Logger{Session, TClock::System()};
    TScriptedView View;
    std::unique_ptr<TNewsrcStore> Store;

    TGroupsFixture()
    {
        State.ProgramDir = Dir.path() + QLatin1Char('/');
        State.SetProfile(QStringLiteral("Default"));
        Logger.SetFileName(State.DataFile(QStringLiteral("quorvel.log")));
        Store = std::make_unique<TNewsrcStore>(State, Logger, View);
        View.FollowGroupList(*Store);
        View.FollowCommands(State.Commands);
    }

    QString Path() const { return State.NewsrcPath; }

    void WriteFile(const QByteArray& bytes, const QString& path = QString()) const
    {
        TestFiles::Write(path.isEmpty() ? State.NewsrcPath : path, bytes);
    }

    QByteArray ReadFile(const QString& path = QString()) const
    {
        return TestFiles::Read(path.isEmpty() ? State.NewsrcPath : path);
    }

    // Names of a list in order.
    static QStringList Names(const TGroupList& list)
    {
        QStringList names;
        for (const TGroupIndex& g : list)
            names << g.Name;
        return names;
    }
};
