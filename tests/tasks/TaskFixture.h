#pragma once

#include "FakeClock.h"
#include "TaskFileOwnerStub.h"
#include "TestFiles.h"
#include "ScriptedView.h"
#include "base/AppState.h"
#include "base/Logger.h"
#include "base/SessionLog.h"
#include "tasks/Task.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskList.h"

#include <QFile>
#include <QTemporaryDir>

// The task list and its file in a private program folder, with a scripted view and a log
// the test can read.
struct TaskFixture
{
    QTemporaryDir dir;
    TFakeClock clock;
    TScriptedView view;
    TAppState state;
    TSessionLog session{clock};
    TLogger logger{session, clock};
    TTaskList list{view, state};
    TTaskFileOwnerStub owner;
    TTaskFile file{state, list, logger, view, owner};

    TaskFixture()
    {
        state.ProgramDir = dir.path() + "/";
        state.SetProfile(QStringLiteral("Default"));
        view.FollowCommands(state.Commands);
    }

    bool logged(const QString& text) const
    {
        for (const QString& line : session.Lines())
            if (line.endsWith(QStringLiteral("   ") + text))
                return true;
        return false;
    }

    QByteArray fileBytes() const { return TestFiles::Read(file.FileName()); }

    void writeFile(const QByteArray& bytes) const { TestFiles::Write(file.FileName(), bytes); }

    QList<TTask> tasks() const
    {
        QList<TTask> out;
        for (int i = 0; i < list.Count(); ++i)
            out << list.At(i);
        return out;
    }
};

inline TTask makeTask(TTaskKind kind, const QString& text1, const QString& text5 = {})
{
    TTask t;
    t.Kind = kind;
    t.Text1 = text1;
    t.Text5 = text5;
    return t;
}

inline TTask makeUpload(const QString& path, const QString& groups = QStringLiteral("alt.test"))
{
    TTask t;
    t.Kind = tkUpload;
    t.Text1 = path;
    t.Text2 = QStringLiteral("me@example.com (Me)");
    t.Text5 = QStringLiteral("\"%s - %f (%p/%t) %b Bytes\",Pics,") + path;
    t.Text6 = groups;
    t.Text8 = QStringLiteral("news.example.com");
    t.Text9 = QStringLiteral("user,pass");
    t.Timeout = 60;
    t.PostTimeout = 30;
    return t;
}
