#pragma once

#include "upload/FileIdentity.h"

#include <QString>
#include <QStringList>

// What became of one article of an upload.
enum class TArticleState
{
    Sent,     // handed to the server, no answer seen yet
    Accepted, // the server answered 240
    Checked,  // found on the server afterwards (STAT 223)
    Missing,  // not found when checked
};

struct TJournalArticle
{
    QString File;     // the posted file's path
    int Part = 0;     // 1-based
    int Total = 0;    // parts of the file
    qint64 Begin = 0; // the file's bytes the article carries: Begin..End, 1-based, inclusive
    qint64 End = 0;
    qint64 Bytes = 0; // the article's size on the wire
    QString MessageId;
    TArticleState State = TArticleState::Sent;
    QString Subject;
    QStringList Groups;
    QString Poster;
    qint64 Date = 0; // Unix time it was sent
    QString Server;  // the server it was handed to (host:port); empty in older journals

    bool operator==(const TJournalArticle&) const = default;
};

// A file of the batch as it starts posting to its groups: what the file is, and the upload
// task it goes with (without the password), from which its lost articles can be posted again
// by a later run. Empty for a file made on the way (a recovery file).
struct TJournalFile
{
    QString File;
    QStringList Groups;
    TFileIdentity Identity;
    QString Task; // the task's line in the task file's form

    bool operator==(const TJournalFile&) const = default;
};

// A check of the batch's articles after the post ("check" and "Check again"): when, on which
// server, and what it found. The history shows the latest.
struct TJournalCheck
{
    qint64 Date = 0; // Unix time
    QString Server;
    int Articles = 0;
    int Missing = 0;

    bool operator==(const TJournalCheck&) const = default;
};
