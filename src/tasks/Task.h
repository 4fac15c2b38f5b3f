#pragma once

#include "base/TaskRow.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

// What a queued task does. Stored as one byte; a hand-edited task file may hold values
// above tkHangup, which stay representable so they can be shown and dropped.
enum TTaskKind : quint8
{
    tkDialUp = 0,
    tkUpload = 1,
    tkGroupDownload = 2,
    tkNewGroups = 3,
    tkDisconnect = 4,
    tkHangup = 5,
};

constexpr int TaskKindCount = 6;

// The task view's caption of a kind; empty for a kind the program does not know.
QString TaskKindCaption(TTaskKind kind);
bool IsKnownTaskKind(TTaskKind kind);

// One queued piece of network work, holding a copy of every value the work needs. What
// each text and flag means depends on the kind.
struct TTask
{
    TTaskKind Kind = tkUpload;
    QString Text1;
    QString Text2;
    QString Text3;
    QString Text4;
    QString Text5;
    QString Text6;
    QString Text7;
    QString Text8;
    QString Text9;
    QString Text10;
    // Written to the task file only when set, after the fields every task has, so that a
    // task without it is written as before and older files read as they always did.
    QString Text11;
    // Likewise after Text11 (written empty when only this one is set).
    QString Text12;
    bool Flag1 = false;
    bool Flag2 = false;
    qint32 Timeout = 0;
    qint32 PostTimeout = 0;
    qint32 MaxLines = 0;
    // The profile the task was queued from, whose settings it runs under (the task list fills
    // it in; the task file keeps it as the profile line of the task's block).
    QString Profile;

    // Text1 .. Text12 by number (1-based), for code that walks all of them.
    QString& Text(int index);
    const QString& Text(int index) const;

    // The child lines the task view shows under the task's caption.
    QStringList ViewLines() const;
    // The task view's row: the kind's caption, the child lines, the file, groups and server.
    TTaskRow ViewRow() const;

    bool operator==(const TTask&) const = default;
};
