#pragma once

#include "upload/JournalRecord.h"

#include <QHash>
#include <QList>
#include <QMap>

#include <optional>

// What a batch's journal says, record by record as it is read or written: for each file and
// groups, the file as it was when it started posting and the latest record of each of its
// articles. What was recorded of a file's earlier form never counts: a file record naming
// another identity than the one before, or an article cut into another number of parts,
// drops the articles recorded before it.
class TJournalContent
{
public:
    void Add(const TJournalFile& file);
    void Add(const TJournalArticle& article);
    void Add(const TJournalCheck& check);

    // Every article, by file and groups (in the order first recorded) and part.
    QList<TJournalArticle> Articles() const;
    QList<TJournalArticle> ArticlesOf(const QString& file, const QStringList& groups) const;
    // The file's latest record; none in a journal written before files were recorded.
    std::optional<TJournalFile> FileOf(const QString& file, const QStringList& groups) const;
    // The files recorded, in the order first recorded.
    QList<TJournalFile> Files() const;
    // The latest check recorded; none before the first.
    const std::optional<TJournalCheck>& LastCheck() const { return m_lastCheck; }

private:
    struct TEntry
    {
        std::optional<TJournalFile> File;
        QMap<int, TJournalArticle> Parts;
    };

    TEntry& entry(const QString& file, const QStringList& groups);
    const TEntry* find(const QString& file, const QStringList& groups) const;

    QList<TEntry> m_entries;
    QHash<QString, qsizetype> m_index; // file and groups -> place in m_entries
    std::optional<TJournalCheck> m_lastCheck;
};
