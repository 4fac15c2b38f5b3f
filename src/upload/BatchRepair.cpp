#include "upload/BatchRepair.h"

#include "article/MessageId.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskLine.h"
#include "upload/ArticleBodyCheck.h"
#include "upload/BatchAccount.h"
#include "upload/NzbFile.h"
#include "upload/UploadHistory.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

TBatchRepair::TBatchRepair(TbcsNNTP& post, TbcsNNTP& check, QObject* parent)
    : QObject(parent), m_post(post), m_check(check)
{
    listen(m_post);
    if (&m_check != &m_post)
        listen(m_check);
}

void TBatchRepair::listen(TbcsNNTP& client)
{
    const auto done = [this, &client] {
        if (m_busy != &client)
            return;
        m_busy = nullptr;
        std::exchange(m_then, nullptr)();
    };
    connect(&client, &TbcsNNTP::OnPosted, this, done);
    connect(&client, &TbcsNNTP::OnCheckDone, this, done);
    connect(&client, &TbcsNNTP::OnBodiesDone, this, done);
    connect(&client, &TbcsNNTP::OnArticleChecked, this, [this](const QString& id, bool present) {
        if (m_busy && !present)
            m_missingNow << id;
    });
    connect(&client, &TbcsNNTP::OnBodyFetched, this,
            [this](const QString& id, bool present, const QByteArrayList& lines) {
                if (m_busy && present)
                    m_bodies.insert(id, lines);
            });
    const auto fault = [this, &client](const QString& error) {
        if (m_busy == &client)
            failed(error);
    };
    connect(&client, &TbcsNNTP::OnPostFailed, this, fault);
    connect(&client, &TbcsNNTP::OnError, this, fault);
    connect(&client, &TbcsNNTP::OnCheckRefused, this, fault);
    connect(&client, &TbcsNNTP::OnCanceled, this, [this, &client] {
        if (m_busy != &client)
            return;
        m_outcome.Interrupted = true;
        failed(QStringLiteral("interrupted"));
    });
}

void TBatchRepair::run(TbcsNNTP& client, const std::function<void()>& start,
                       std::function<void()> then)
{
    m_busy = &client;
    m_then = std::move(then);
    // The client's own time-outs end a server that does not answer.
    start();
}

void TBatchRepair::failed(const QString& error)
{
    m_busy = nullptr;
    m_then = nullptr;
    m_post.SetArticle(m_before);
    // What was posted so far is listed in the NZB file all the same.
    if (m_journal.IsOpen() && !m_target.Nzb.isEmpty() && m_outcome.Reposted > 0) {
        m_outcome.Error = error;
        return rewrite();
    }
    finish(error);
}

void TBatchRepair::finish(const QString& error)
{
    if (m_outcome.Error.isEmpty())
        m_outcome.Error = error;
    m_outcome.Journal = m_journal.Path();
    m_journal.Close();
    m_post.Quit();
    m_check.Quit();
    emit Finished(m_outcome);
}

void TBatchRepair::Abort()
{
    m_abort = true;
    if (m_busy)
        m_busy->Cancel();
}

void TBatchRepair::Start(const TRepairRequest& request)
{
    m_request = request;
    m_outcome = {};
    m_abort = false;
    m_target = {};
    m_nzbFiles.clear();
    m_bodies.clear();
    m_before = m_post.Article();
    QString error;
    if (request.EntryOrNzb.endsWith(QLatin1String(".nzb"), Qt::CaseInsensitive) &&
        !openNzb(request.EntryOrNzb))
        return; // finished, or asking the server for what no journal knows
    std::optional<TRepairTarget> target =
        UploadRepair::Find(request.EntryOrNzb, request.JournalFolder, request.NzbFolder, &error);
    if (!target)
        return finish(error);
    m_target = std::move(*target);
    if (!m_journal.Open(m_target.Journal, &error))
        return finish(error);
    m_ids.clear();
    for (const TJournalArticle& a : m_journal.Content().Articles())
        m_ids << a.MessageId;
    statAll(m_ids);
}

bool TBatchRepair::openNzb(const QString& path)
{
    QFile file(path);
    QString error;
    std::optional<QList<TNzbFile>> files;
    if (!file.open(QIODevice::ReadOnly))
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    else if (files = NzbFile::Read(file.readAll(), &error); !files)
        error = QStringLiteral("%1 is no NZB file: %2").arg(path, error);
    if (!error.isEmpty()) {
        finish(error);
        return false;
    }
    m_ids.clear();
    for (const TNzbFile& f : *files)
        for (const TNzbSegment& s : f.Segments)
            m_ids << (s.MessageId.startsWith(u'<') ? s.MessageId : '<' + s.MessageId + '>');
    if (!UploadHistory::FindJournal(m_request.JournalFolder, m_ids).isEmpty())
        return true;
    m_nzbFiles = *files;
    m_target = {QString(), QFileInfo(path).absoluteFilePath(), {}};
    statAll(m_ids);
    return false;
}

void TBatchRepair::statAll(const QStringList& ids)
{
    m_outcome.Articles = int(ids.size());
    m_missingNow.clear();
    run(
        m_check, [this, ids] { m_check.CheckArticles(ids); }, [this] { afterStat(); });
}

void TBatchRepair::afterStat()
{
    const QSet<QString> gone(m_missingNow.cbegin(), m_missingNow.cend());
    m_outcome.Missing = int(gone.size());
    emit Progress(
        QStringLiteral("%1 of %2 article(s) missing").arg(gone.size()).arg(m_outcome.Articles));
    if (gone.isEmpty() && m_nzbFiles.isEmpty())
        return rewrite();
    if (gone.isEmpty())
        return finish();
    if (const QString file = uuencodedLost(gone); !file.isEmpty())
        return finish(QStringLiteral("%1 was posted uuencoded: its lost parts can be made again "
                                     "only as yEnc parts, cut otherwise; post the file again "
                                     "instead")
                          .arg(file));
    // The lost articles where the posting server still has them, and one left of each file:
    // their yEnc lines tell each part's bytes and CRC-32.
    QStringList wanted = m_post.Server() == m_check.Server() ? QStringList() : m_missingNow;
    QSet<QString> seen;
    const auto leftOf = [&](const QString& file, const QStringList& ids) {
        for (const QString& id : ids)
            if (!gone.contains(id) && !seen.contains(file)) {
                seen.insert(file);
                wanted << id;
            }
    };
    for (const TJournalArticle& a : m_journal.Content().Articles())
        if (gone.contains(a.MessageId)) {
            QStringList ids;
            for (const TJournalArticle& b : m_journal.Content().ArticlesOf(a.File, a.Groups))
                ids << b.MessageId;
            leftOf(a.File, ids);
        }
    for (const TNzbFile& f : std::as_const(m_nzbFiles)) {
        QStringList ids;
        for (const TNzbSegment& s : f.Segments)
            ids << (s.MessageId.startsWith(u'<') ? s.MessageId : '<' + s.MessageId + '>');
        leftOf(f.Subject, ids);
    }
    m_bodies.clear();
    run(
        m_post, [this, wanted] { m_post.FetchBodies(wanted); }, [this] { afterBodies(); });
}

QString TBatchRepair::uuencodedLost(const QSet<QString>& gone) const
{
    QSet<QString> lostFiles;
    for (const TJournalArticle& a : m_journal.Content().Articles())
        if (gone.contains(a.MessageId))
            lostFiles.insert(a.File);
    QString error;
    for (const TJournalFile& file : m_journal.Content().Files()) {
        if (!lostFiles.contains(file.File))
            continue;
        const std::optional<TTask> task = TaskLine::Read(file.Task, &error);
        if (task && !UploadFields(*task).YEnc)
            return file.File;
    }
    return QString();
}

void TBatchRepair::afterBodies()
{
    if (!m_nzbFiles.isEmpty() && !deriveJournal())
        return;
    const QSet<QString> gone(m_missingNow.cbegin(), m_missingNow.cend());
    m_lost.clear();
    for (const TJournalArticle& a : m_journal.Content().Articles())
        if (gone.contains(a.MessageId))
            m_lost << a;
    if (const QString error = sourcesChanged(); !error.isEmpty())
        return finish(error);
    m_next = 0;
    repostNext();
}

bool TBatchRepair::deriveJournal()
{
    QHash<QString, TYEncHeaders> headers;
    for (auto at = m_bodies.cbegin(); at != m_bodies.cend(); ++at)
        if (const std::optional<TYEncHeaders> h = ArticleBodyCheck::Headers(at.value()))
            headers.insert(at.key(), *h);
    const QSet<QString> gone(m_missingNow.cbegin(), m_missingNow.cend());
    const QString folder = m_request.SourceFolder.isEmpty() ? QFileInfo(m_target.Nzb).absolutePath()
                                                            : m_request.SourceFolder;
    QList<TJournalFile> files;
    QList<TJournalArticle> articles;
    for (const TNzbFile& f : std::as_const(m_nzbFiles)) {
        QString error;
        if (!UploadRepair::ArticlesOf(f, headers, gone, folder, files, articles, &error)) {
            finish(error);
            return false;
        }
    }
    const QString journal = QDir(m_request.JournalFolder)
                                .filePath(TBatchAccount::NewBatchId() + QStringLiteral(".journal"));
    QString error;
    if (!QDir().mkpath(m_request.JournalFolder) || !m_journal.Open(journal, &error)) {
        finish(error.isEmpty() ? QStringLiteral("cannot make %1").arg(m_request.JournalFolder)
                               : error);
        return false;
    }
    for (const TJournalFile& f : std::as_const(files))
        if (!m_journal.Record(f, &error)) {
            finish(error);
            return false;
        }
    for (const TJournalArticle& a : std::as_const(articles))
        if (!m_journal.Record(a, &error)) {
            finish(error);
            return false;
        }
    emit Progress(
        QStringLiteral("the articles of %1 are recorded in %2").arg(m_target.Nzb, journal));
    m_target.Journal = journal;
    return true;
}

QString TBatchRepair::sourcesChanged() const
{
    for (const TJournalArticle& a : m_lost) {
        const QString source = UploadRepair::SourcePath(a.File, m_request.SourceFolder);
        if (const QString error = UploadRepair::CheckSource(m_target, a, source); !error.isEmpty())
            return error;
    }
    // Every part whose yEnc lines were read, lost or left, against the bytes it carried.
    for (const TJournalArticle& a : m_journal.Content().Articles()) {
        const std::optional<TYEncHeaders> h =
            ArticleBodyCheck::Headers(m_bodies.value(a.MessageId));
        if (!h || !h->PartCrc)
            continue;
        const QString source = UploadRepair::SourcePath(a.File, m_request.SourceFolder);
        if (const QString error = UploadRepair::CheckPart(source, h->Begin, h->End, *h->PartCrc);
            !error.isEmpty())
            return error;
    }
    return QString();
}

void TBatchRepair::repostNext()
{
    if (m_next == m_lost.size())
        return rewrite();
    if (m_abort) {
        m_outcome.Interrupted = true;
        return failed(QStringLiteral("interrupted"));
    }
    const TJournalArticle& lost = m_lost.at(m_next);
    TJournalArticle fresh = lost;
    fresh.MessageId = MessageId::IsValidDomain(m_request.MessageIdDomain)
                          ? MessageId::Make(m_request.MessageIdDomain)
                          : MessageId::Make();
    fresh.State = TArticleState::Sent;
    fresh.Date = QDateTime::currentSecsSinceEpoch();
    const QString source = UploadRepair::SourcePath(lost.File, m_request.SourceFolder);
    QString error;
    if (!UploadRepair::BuildArticle(m_target, lost, source, fresh.MessageId, m_article, &error))
        return failed(error);
    if (!m_request.ReplyTo.isEmpty())
        m_article.AddHeader(QStringLiteral("Reply-To: ") + m_request.ReplyTo);
    if (!m_request.Organization.isEmpty())
        m_article.AddHeader(QStringLiteral("Organization: ") + m_request.Organization);
    // Recorded before it is sent: a repair killed now asks for it next time.
    if (!m_journal.Record(fresh, &error) || !m_journal.Sync(&error))
        return failed(error);
    emit Progress(QStringLiteral("posting %1 again as %2").arg(lost.Subject, fresh.MessageId));
    m_post.SetArticle(&m_article);
    run(
        m_post, [this] { m_post.PostComposed(); }, [this, fresh] { reposted(fresh); });
}

void TBatchRepair::reposted(TJournalArticle fresh)
{
    m_post.SetArticle(m_before);
    fresh.State = TArticleState::Accepted;
    QString error;
    if (!m_journal.Record(fresh, &error))
        return failed(error);
    m_missingNow.clear();
    run(
        m_post, [this, fresh] { m_post.CheckArticles({fresh.MessageId}); },
        [this, fresh]() mutable {
            fresh.State = m_missingNow.isEmpty() ? TArticleState::Checked : TArticleState::Missing;
            QString error;
            if (!m_journal.Record(fresh, &error))
                return failed(error);
            m_outcome.Reposted += m_missingNow.isEmpty();
            ++m_next;
            repostNext();
        });
}

void TBatchRepair::rewrite()
{
    // Rewritten even after a failure or when nothing is missing: what the journal holds is
    // on the server or as lost as what the NZB listed, and a repair killed before this point
    // posted articles the NZB does not list yet.
    QString error;
    if (!m_journal.Sync(&error))
        return finish(error);
    m_target.Content = m_journal.Content();
    finish(UploadRepair::RewriteNzb(m_target));
}
