#include "upload/JournalContent.h"

namespace {

QString keyOf(const QString& file, const QStringList& groups)
{
    return file + u'\n' + groups.join(u',');
}

} // namespace

TJournalContent::TEntry& TJournalContent::entry(const QString& file, const QStringList& groups)
{
    const QString key = keyOf(file, groups);
    auto at = m_index.constFind(key);
    if (at == m_index.constEnd()) {
        at = m_index.insert(key, m_entries.size());
        m_entries.append(TEntry());
    }
    return m_entries[*at];
}

const TJournalContent::TEntry* TJournalContent::find(const QString& file,
                                                     const QStringList& groups) const
{
    const auto at = m_index.constFind(keyOf(file, groups));
    return at == m_index.constEnd() ? nullptr : &m_entries[*at];
}

void TJournalContent::Add(const TJournalFile& file)
{
    TEntry& e = entry(file.File, file.Groups);
    // Without an earlier record (a journal written before files were recorded) the articles
    // are taken to be of this file.
    if (e.File && e.File->Identity != file.Identity)
        e.Parts.clear();
    e.File = file;
}

void TJournalContent::Add(const TJournalArticle& article)
{
    TEntry& e = entry(article.File, article.Groups);
    if (!e.Parts.isEmpty() && e.Parts.first().Total != article.Total)
        e.Parts.clear(); // the file is cut into another number of parts now
    e.Parts.insert(article.Part, article);
}

void TJournalContent::Add(const TJournalCheck& check)
{
    m_lastCheck = check;
}

QList<TJournalArticle> TJournalContent::Articles() const
{
    QList<TJournalArticle> articles;
    for (const TEntry& e : m_entries)
        for (const TJournalArticle& a : e.Parts)
            articles << a;
    return articles;
}

QList<TJournalArticle> TJournalContent::ArticlesOf(const QString& file,
                                                   const QStringList& groups) const
{
    const TEntry* e = find(file, groups);
    return e ? e->Parts.values() : QList<TJournalArticle>();
}

std::optional<TJournalFile> TJournalContent::FileOf(const QString& file,
                                                    const QStringList& groups) const
{
    const TEntry* e = find(file, groups);
    return e ? e->File : std::nullopt;
}

QList<TJournalFile> TJournalContent::Files() const
{
    QList<TJournalFile> files;
    for (const TEntry& e : m_entries)
        if (e.File)
            files << *e.File;
    return files;
}
