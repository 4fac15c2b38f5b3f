#include "upload/UploadRepair.h"

#include "article/NewsArticle.h"
#include "base/SafeFile.h"
#include "codec/Crc32.h"
#include "article/YEncBody.h"
#include "upload/ArticleBodyCheck.h"
#include "upload/NzbFile.h"
#include "upload/UploadHistory.h"
#include "upload/UploadJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

QString bracketed(const QString& id)
{
    return id.startsWith(u'<') ? id : u'<' + id + u'>';
}

std::optional<TRepairTarget> targetOf(const QString& journal, const QString& nzb, QString* error)
{
    std::optional<TJournalContent> content = TUploadJournal::Read(journal, error);
    if (!content)
        return std::nullopt;
    if (nzb.isEmpty()) {
        *error = QStringLiteral("no NZB file lists the articles of %1").arg(journal);
        return std::nullopt;
    }
    return TRepairTarget{journal, nzb, std::move(*content)};
}

// Where an article stands in the journal: its file, groups and part.
QString placeOf(const TJournalArticle& a, int part)
{
    return a.File + u'\n' + a.Groups.join(u',') + u'\n' + QString::number(part);
}

// The CRC-32 of the file's bytes from..to (0-based, to excluded); none when it cannot be read.
std::optional<quint32> crcOf(QFile& file, qint64 from, qint64 to)
{
    if (!file.seek(from))
        return std::nullopt;
    quint32 crc = 0;
    for (qint64 at = from; at < to;) {
        const QByteArray chunk = file.read(qMin<qint64>(to - at, 1 << 20));
        if (chunk.isEmpty())
            return std::nullopt;
        crc = Crc32::Update(crc, chunk.constData(), chunk.size());
        at += chunk.size();
    }
    return crc;
}

} // namespace

std::optional<TRepairTarget> UploadRepair::Find(const QString& entryOrNzb,
                                                const QString& journalFolder,
                                                const QString& nzbFolder, QString* error)
{
    if (!entryOrNzb.endsWith(QLatin1String(".nzb"), Qt::CaseInsensitive)) {
        const QString journal = QDir(journalFolder).filePath(entryOrNzb + ".journal");
        if (entryOrNzb.contains(u'/') || !QFileInfo::exists(journal)) {
            *error = QStringLiteral("no batch %1 in the history").arg(entryOrNzb);
            return std::nullopt;
        }
        const auto content = TUploadJournal::Read(journal, error);
        if (!content)
            return std::nullopt;
        QStringList ids;
        for (const TJournalArticle& a : content->Articles())
            ids << a.MessageId;
        return targetOf(journal, UploadHistory::FindNzb(nzbFolder, ids), error);
    }
    const QString wanted = QFileInfo(entryOrNzb).canonicalFilePath();
    if (wanted.isEmpty()) {
        *error = QStringLiteral("cannot read %1: no such file").arg(entryOrNzb);
        return std::nullopt;
    }
    QStringList errors;
    for (const THistoryEntry& e :
         UploadHistory::Read(journalFolder, QFileInfo(wanted).path(), &errors))
        if (QFileInfo(e.Nzb).canonicalFilePath() == wanted)
            return targetOf(e.Journal, wanted, error);
    *error =
        QStringLiteral("no journal in %1 lists the articles of %2").arg(journalFolder, entryOrNzb);
    return std::nullopt;
}

QString UploadRepair::SourcePath(const QString& postedPath, const QString& sourceFolder)
{
    if (sourceFolder.isEmpty())
        return postedPath;
    return QDir(sourceFolder).filePath(QFileInfo(postedPath).fileName());
}

QString UploadRepair::CheckSource(const TRepairTarget& target, const TJournalArticle& lost,
                                  const QString& source)
{
    QString error;
    const std::optional<TFileIdentity> now = TFileIdentity::Of(source, &error);
    if (!now)
        return error;
    const std::optional<TJournalFile> posted = target.Content.FileOf(lost.File, lost.Groups);
    const bool sameSize = posted ? now->Size == posted->Identity.Size : now->Size >= lost.End;
    // The time it changed differs in a copy of the file; its size and bytes may not.
    // A file known from its yEnc lines alone has a size but no hash.
    const bool hashed = posted && !posted->Identity.Hash.isEmpty();
    if (!sameSize || (hashed && now->Hash != posted->Identity.Hash))
        return QStringLiteral("%1 has changed since it was posted: its articles are not posted "
                              "again from it")
            .arg(source);
    return QString();
}

bool UploadRepair::BuildArticle(const TRepairTarget& target, const TJournalArticle& lost,
                                const QString& source, const QString& messageId,
                                TNewsArticle& article, QString* error)
{
    // The file's bytes a part carries are those of every part but the last.
    qint64 partBytes =
        lost.Part > 1 ? (lost.Begin - 1) / (lost.Part - 1) : lost.End - lost.Begin + 1;
    for (const TJournalArticle& a : target.Content.ArticlesOf(lost.File, lost.Groups))
        if (a.Part < a.Total)
            partBytes = a.End - a.Begin + 1;
    QFile file(source);
    std::optional<quint32> before;
    if (file.open(QIODevice::ReadOnly))
        before = crcOf(file, 0, lost.Begin - 1);
    TYEncBody body(source, lost.Total > 1 ? partBytes : 0);
    if (!before || !body.OpenPart(lost.Part, *before)) {
        *error = QStringLiteral("cannot read bytes %1 to %2 of %3: %4")
                     .arg(lost.Begin)
                     .arg(lost.End)
                     .arg(source, before ? body.FaultDetail() : file.errorString());
        return false;
    }
    article.Clear();
    article.Subject = lost.Subject;
    article.AddHeader(QStringLiteral("Subject: ") + lost.Subject);
    article.AddHeader(QStringLiteral("From: ") + lost.Poster);
    article.AddHeader(QStringLiteral("Message-ID: ") + messageId);
    article.Newsgroups = lost.Groups.join(u',');
    while (body.AppendNext(article.RawBodyLines)) {
    }
    if (body.Fault() != TBodyFault::None) {
        *error = QStringLiteral("cannot read %1: %2").arg(source, body.FaultDetail());
        return false;
    }
    return true;
}

QString UploadRepair::CheckPart(const QString& source, qint64 begin, qint64 end, quint32 crc)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(source, file.errorString());
    if (crcOf(file, begin - 1, end) != crc)
        return QStringLiteral("%1 has changed since it was posted: its bytes %2 to %3 are not "
                              "those of the part posted (CRC-32); its articles are not posted "
                              "again from it")
            .arg(source)
            .arg(begin)
            .arg(end);
    return QString();
}

namespace {

// The subject of part of total, from a file's subject that counts "(1/total)".
QString subjectOfPart(const QString& subject, int part)
{
    static const QRegularExpression counter(QStringLiteral("\\((\\d+)/(\\d+)\\)"));
    QRegularExpressionMatch last;
    for (auto it = counter.globalMatch(subject); it.hasNext();)
        last = it.next();
    if (!last.hasMatch())
        return subject;
    const QString number =
        QStringLiteral("%1").arg(part, int(last.capturedLength(1)), 10, QLatin1Char('0'));
    return QString(subject).replace(last.capturedStart(1), last.capturedLength(1), number);
}

} // namespace

bool UploadRepair::ArticlesOf(const TNzbFile& file, const QHash<QString, TYEncHeaders>& headers,
                              const QSet<QString>& gone, const QString& folder,
                              QList<TJournalFile>& files, QList<TJournalArticle>& articles,
                              QString* error)
{
    const TYEncHeaders* known = nullptr;
    bool lost = false;
    for (const TNzbSegment& s : file.Segments) {
        lost = lost || gone.contains(bracketed(s.MessageId));
        if (const auto at = headers.constFind(bracketed(s.MessageId));
            !known && at != headers.cend())
            known = &at.value();
    }
    if (!lost)
        return true;
    if (!known) {
        *error = QStringLiteral("no article of \"%1\" is left on the server to read its file "
                                "name and parts from")
                     .arg(file.Subject);
        return false;
    }
    const qint64 partSize = known->Part < known->Total ? known->End - known->Begin + 1
                            : known->Part > 1          ? (known->Begin - 1) / (known->Part - 1)
                                                       : known->Size;
    // The name comes from a stranger's article: its folders go.
    const QString path = QDir(folder).filePath(QFileInfo(known->Name).fileName());
    files << TJournalFile{path, file.Groups, {known->Size, 0, QString()}, QString()};
    for (const TNzbSegment& s : file.Segments) {
        const qint64 begin = (s.Number - 1) * partSize + 1;
        if (s.Number < 1 || s.Number > known->Total || partSize < 1 || begin > known->Size) {
            *error = QStringLiteral("segment %1 of \"%2\" is not a part of %3 as its yEnc lines "
                                    "say (%4 parts of %5 bytes)")
                         .arg(s.Number)
                         .arg(file.Subject, known->Name)
                         .arg(known->Total)
                         .arg(partSize);
            return false;
        }
        const QString id = bracketed(s.MessageId);
        articles << TJournalArticle{path,
                                    s.Number,
                                    known->Total,
                                    begin,
                                    std::min(known->Size, s.Number * partSize),
                                    s.Bytes,
                                    id,
                                    gone.contains(id) ? TArticleState::Missing
                                                      : TArticleState::Checked,
                                    subjectOfPart(file.Subject, s.Number),
                                    file.Groups,
                                    file.Poster,
                                    file.Date,
                                    QString()}; // no server is known to have taken it
    }
    return true;
}

QString UploadRepair::RewriteNzb(const TRepairTarget& target)
{
    QFile file(target.Nzb);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(target.Nzb, file.errorString());
    const QByteArray before = file.readAll();
    QByteArray document = before;
    QString error;
    const std::optional<QList<TNzbFile>> nzb = NzbFile::Read(document, &error);
    if (!nzb)
        return QStringLiteral("%1 is no NZB file: %2").arg(target.Nzb, error);
    // A file of the NZB is the journal's file one of whose articles it lists.
    QHash<QString, const TJournalArticle*> byId;
    QHash<QString, QString> idAt; // place -> Message-ID now
    const QList<TJournalArticle> articles = target.Content.Articles();
    for (const TJournalArticle& a : articles) {
        byId.insert(a.MessageId, &a);
        idAt.insert(placeOf(a, a.Part), a.MessageId);
    }
    for (const TNzbFile& f : *nzb) {
        const TJournalArticle* known = nullptr;
        for (qsizetype i = 0; !known && i < f.Segments.size(); ++i)
            known = byId.value(bracketed(f.Segments[i].MessageId));
        if (!known)
            continue;
        for (const TNzbSegment& s : f.Segments) {
            const QString now = idAt.value(placeOf(*known, s.Number));
            if (now.isEmpty() || now == bracketed(s.MessageId))
                continue;
            const QString fresh = now.mid(1, now.size() - 2);
            document.replace('>' + s.MessageId.toHtmlEscaped().toUtf8() + '<',
                             '>' + fresh.toHtmlEscaped().toUtf8() + '<');
        }
    }
    return document == before ? QString() : TSafeFile::Replace(target.Nzb, document);
}
