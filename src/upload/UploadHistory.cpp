#include "upload/UploadHistory.h"

#include "tasks/TaskLine.h"
#include "upload/NzbFile.h"
#include "upload/UploadJournal.h"
#include "upload/UploadTaskFields.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

QString THistoryEntry::StateName(TState state)
{
    switch (state) {
    case TState::Complete:
        return QStringLiteral("complete");
    case TState::Incomplete:
        return QStringLiteral("incomplete");
    case TState::Checking:
        return QStringLiteral("checking");
    }
    return QString();
}

namespace {

QString bracketed(const QString& id)
{
    return id.startsWith(u'<') ? id : u'<' + id + u'>';
}

// Message-ID -> the NZB file of folder listing it. An NZB that cannot be read lists nothing.
QHash<QString, QString> nzbIndex(const QString& folder)
{
    QHash<QString, QString> index;
    const QFileInfoList nzbs =
        QDir(folder).entryInfoList({QStringLiteral("*.nzb")}, QDir::Files, QDir::Name);
    for (const QFileInfo& info : nzbs) {
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QString error; // an NZB that is no NZB lists nothing
        const std::optional<QList<TNzbFile>> files = NzbFile::Read(file.readAll(), &error);
        for (const TNzbFile& f : files.value_or(QList<TNzbFile>()))
            for (const TNzbSegment& s : f.Segments)
                index.insert(bracketed(s.MessageId), info.filePath());
    }
    return index;
}

QString serverOf(const TJournalFile& file)
{
    QString error; // a file without its task (a recovery file) names no server
    const std::optional<TTask> task = TaskLine::Read(file.Task, &error);
    return task ? UploadTaskFields::ClientSetup(*task).Server : QString();
}

THistoryEntry::TState stateOf(int missing, int unanswered, int checked, int articles)
{
    if (missing > 0 || unanswered > 0)
        return THistoryEntry::TState::Incomplete;
    if (checked > 0 && checked < articles)
        return THistoryEntry::TState::Checking;
    return THistoryEntry::TState::Complete;
}

void addUnique(QStringList& list, const QStringList& items)
{
    for (const QString& item : items)
        if (!item.isEmpty() && !list.contains(item))
            list << item;
}

} // namespace

THistoryEntry UploadHistory::EntryOf(const QString& journalPath, const TJournalContent& content)
{
    THistoryEntry entry;
    entry.Journal = journalPath;
    entry.Batch = QFileInfo(journalPath).completeBaseName();
    for (const TJournalFile& f : content.Files()) {
        addUnique(entry.Files, {f.File});
        addUnique(entry.Servers, {serverOf(f)});
        entry.Size += f.Identity.Size;
    }
    int unanswered = 0, checked = 0;
    for (const TJournalArticle& a : content.Articles()) {
        if (entry.Articles++ == 0) {
            entry.Date = a.Date;
            entry.Subject = a.Subject;
        }
        addUnique(entry.Files, {a.File});
        addUnique(entry.Groups, a.Groups);
        entry.Missing += a.State == TArticleState::Missing;
        unanswered += a.State == TArticleState::Sent;
        checked += a.State == TArticleState::Checked;
        if (!a.Server.isEmpty() && a.State != TArticleState::Sent &&
            a.State != TArticleState::Missing) {
            addUnique(entry.Servers, {a.Server});
            ++entry.TakenBy[a.Server];
        }
    }
    entry.State = stateOf(entry.Missing, unanswered, checked, entry.Articles);
    entry.LastCheck = content.LastCheck();
    return entry;
}

QList<THistoryEntry> UploadHistory::Read(const QString& journalFolder, const QString& nzbFolder,
                                         QStringList* errors)
{
    const QHash<QString, QString> nzbs = nzbIndex(nzbFolder);
    QList<THistoryEntry> entries;
    const QFileInfoList journals =
        QDir(journalFolder).entryInfoList({QStringLiteral("*.journal")}, QDir::Files, QDir::Name);
    for (const QFileInfo& info : journals) {
        QString error;
        const std::optional<TJournalContent> content =
            TUploadJournal::Read(info.filePath(), &error);
        if (!content) {
            if (errors)
                *errors << error;
            continue;
        }
        THistoryEntry entry = EntryOf(info.filePath(), *content);
        for (const TJournalArticle& a : content->Articles())
            if (const QString nzb = nzbs.value(a.MessageId); !nzb.isEmpty()) {
                entry.Nzb = nzb;
                break;
            }
        entries << entry;
    }
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const THistoryEntry& a, const THistoryEntry& b) { return a.Date < b.Date; });
    return entries;
}

QString UploadHistory::FindNzb(const QString& nzbFolder, const QStringList& ids)
{
    const QHash<QString, QString> nzbs = nzbIndex(nzbFolder);
    for (const QString& id : ids)
        if (const QString nzb = nzbs.value(bracketed(id)); !nzb.isEmpty())
            return nzb;
    return QString();
}

QString UploadHistory::FindJournal(const QString& journalFolder, const QStringList& ids)
{
    QSet<QString> wanted;
    for (const QString& id : ids)
        wanted.insert(bracketed(id));
    const QFileInfoList journals =
        QDir(journalFolder).entryInfoList({QStringLiteral("*.journal")}, QDir::Files, QDir::Name);
    for (const QFileInfo& info : journals) {
        QString error; // a journal that cannot be read records nothing
        const std::optional<TJournalContent> content =
            TUploadJournal::Read(info.filePath(), &error);
        for (const TJournalArticle& a : content ? content->Articles() : QList<TJournalArticle>())
            if (wanted.contains(a.MessageId))
                return info.filePath();
    }
    return QString();
}
