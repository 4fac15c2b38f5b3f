#pragma once

#include "upload/JournalContent.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// One batch as the history shows it, read from its journal and the NZB file written for it.
struct THistoryEntry
{
    enum class TState
    {
        Complete,   // every article was taken (and, where checked, found)
        Incomplete, // an article is missing or was never answered
        Checking,   // some articles are checked, the others not yet
    };

    QString Batch;   // the journal's name without ".journal"
    qint64 Date = 0; // Unix time of the first article
    QString Subject; // the first file's subject
    QStringList Files;
    qint64 Size = 0; // bytes of the files
    QStringList Groups;
    QStringList Servers;
    // The articles each server took (its address as the journal records it); empty for
    // journals written before servers were recorded.
    QMap<QString, int> TakenBy;
    int Articles = 0;
    int Missing = 0;
    QString Nzb; // empty when no NZB file lists the batch's articles
    QString Journal;
    TState State = TState::Complete;
    std::optional<TJournalCheck> LastCheck; // the latest check, whose findings the state shows

    static QString StateName(TState state);
};

// The history of uploads: every journal in the journals folder is one entry, with the NZB
// file of the NZB folder that lists its articles. Nothing is kept besides them, so the history
// can never disagree with what the journals and NZB files say.
namespace UploadHistory {

// Every batch, the oldest first; a journal that cannot be read is named in errors and left out.
QList<THistoryEntry> Read(const QString& journalFolder, const QString& nzbFolder,
                          QStringList* errors);
// The entry for one journal's content.
THistoryEntry EntryOf(const QString& journalPath, const TJournalContent& content);
// The NZB file in folder that lists one of ids (with angle brackets); empty when none does.
QString FindNzb(const QString& nzbFolder, const QStringList& ids);
// The journal of folder that records one of ids (with angle brackets); empty when none does.
QString FindJournal(const QString& journalFolder, const QStringList& ids);

} // namespace UploadHistory
