#pragma once

#include "upload/JournalContent.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

class TNewsArticle;
struct TNzbFile;
struct TYEncHeaders;

// What a repair works on: a batch's journal, which knows every article's file and byte range,
// and the NZB file that lists the batch's articles.
struct TRepairTarget
{
    QString Journal;
    QString Nzb;
    TJournalContent Content;
};

// The steps of repairing a batch whose articles the server lost: each lost article is posted
// again from its source file under a new Message-ID, with the subject and yEnc lines it had,
// and the NZB file is rewritten with the new Message-IDs.
namespace UploadRepair {

// The batch a history entry (the journal's name) or an NZB file names; none with the reason.
std::optional<TRepairTarget> Find(const QString& entryOrNzb, const QString& journalFolder,
                                  const QString& nzbFolder, QString* error);
// Where an article's file is now: in sourceFolder when one is given, else where it was posted.
QString SourcePath(const QString& postedPath, const QString& sourceFolder);
// Empty when the file at source still is the one posted as posted; else why not, naming it.
QString CheckSource(const TRepairTarget& target, const TJournalArticle& lost,
                    const QString& source);
// Empty when the bytes begin..end (1-based, inclusive) of source have the CRC-32 crc, as the
// part's yEnc lines say; else why not, naming the file.
QString CheckPart(const QString& source, qint64 begin, qint64 end, quint32 crc);
// The file and articles of an NZB file's file no journal knows (added to files and articles):
// its name, size and part size from the yEnc lines of one of its articles (headers, by
// Message-ID with angle brackets), the file in folder; each article missing when gone holds
// it. A file none of whose articles is lost needs none; false with the reason otherwise.
bool ArticlesOf(const TNzbFile& file, const QHash<QString, TYEncHeaders>& headers,
                const QSet<QString>& gone, const QString& folder, QList<TJournalFile>& files,
                QList<TJournalArticle>& articles, QString* error);
// Sets up article as lost was, from the bytes of source, under messageId; false with the
// reason when the file cannot be read.
bool BuildArticle(const TRepairTarget& target, const TJournalArticle& lost, const QString& source,
                  const QString& messageId, TNewsArticle& article, QString* error);
// Rewrites the NZB file in place, whole or not at all, so that every article it lists has the
// Message-ID the journal holds now for its file and part; empty, or why it could not.
QString RewriteNzb(const TRepairTarget& target);

} // namespace UploadRepair
