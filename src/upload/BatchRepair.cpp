#include "upload/BatchRepair.h"

#include "article/MessageId.h"
#include "article/NewsArticle.h"
#include "net/bcsNNTP.h"

#include <QDateTime>
#include <QEventLoop>
#include <QSet>

TBatchRepair::TBatchRepair(TbcsNNTP& client, QObject* parent) : QObject(parent), m_client(client) {}

void TBatchRepair::Abort()
{
    m_abort = true;
    m_client.Cancel();
}

TRepairOutcome TBatchRepair::Run(const TRepairRequest& request)
{
    m_request = request;
    m_outcome = {};
    std::optional<TRepairTarget> target = UploadRepair::Find(
        request.EntryOrNzb, request.JournalFolder, request.NzbFolder, &m_outcome.Error);
    if (!target)
        return m_outcome;
    m_target = std::move(*target);
    if (!m_journal.Open(m_target.Journal, &m_outcome.Error))
        return m_outcome;
    const QList<TJournalArticle> articles = m_journal.Content().Articles();
    m_outcome.Articles = int(articles.size());
    QStringList ids, missing;
    for (const TJournalArticle& a : articles)
        ids << a.MessageId;
    if (!missingOf(ids, missing))
        return m_outcome;
    const QSet<QString> gone(missing.cbegin(), missing.cend());
    QList<TJournalArticle> lost;
    for (const TJournalArticle& a : articles)
        if (gone.contains(a.MessageId))
            lost << a;
    m_outcome.Missing = int(lost.size());
    emit Progress(QStringLiteral("%1 of %2 article(s) missing").arg(lost.size()).arg(ids.size()));
    if (m_outcome.Error = sourcesChanged(lost); !m_outcome.Error.isEmpty())
        return m_outcome;
    for (const TJournalArticle& a : std::as_const(lost))
        if (!repost(a))
            break;
    // Rewritten even after a failure or when nothing is missing: what the journal holds is
    // on the server or as lost as what the NZB listed, and a repair killed before this point
    // posted articles the NZB does not list yet.
    QString error;
    if (!m_journal.Sync(&error))
        return fail(error);
    m_target.Content = m_journal.Content();
    if (error = UploadRepair::RewriteNzb(m_target); !error.isEmpty())
        return fail(error);
    return m_outcome;
}

TRepairOutcome TBatchRepair::fail(const QString& error)
{
    if (m_outcome.Error.isEmpty())
        m_outcome.Error = error;
    return m_outcome;
}

QString TBatchRepair::sourcesChanged(const QList<TJournalArticle>& lost) const
{
    for (const TJournalArticle& a : lost) {
        const QString source = UploadRepair::SourcePath(a.File, m_request.SourceFolder);
        if (const QString error = UploadRepair::CheckSource(m_target, a, source); !error.isEmpty())
            return error;
    }
    return QString();
}

bool TBatchRepair::repost(const TJournalArticle& lost)
{
    if (m_abort) {
        m_outcome.Interrupted = true;
        return false;
    }
    TJournalArticle fresh = lost;
    fresh.MessageId = MessageId::IsValidDomain(m_request.MessageIdDomain)
                          ? MessageId::Make(m_request.MessageIdDomain)
                          : MessageId::Make();
    fresh.State = TArticleState::Sent;
    fresh.Date = QDateTime::currentSecsSinceEpoch();
    TNewsArticle article;
    const QString source = UploadRepair::SourcePath(lost.File, m_request.SourceFolder);
    if (!UploadRepair::BuildArticle(m_target, lost, source, fresh.MessageId, article,
                                    &m_outcome.Error))
        return false;
    // Recorded before it is sent: a repair killed now asks for it next time.
    if (!m_journal.Record(fresh, &m_outcome.Error) || !m_journal.Sync(&m_outcome.Error))
        return false;
    emit Progress(QStringLiteral("posting %1 again as %2").arg(lost.Subject, fresh.MessageId));
    TNewsArticle* const before = m_client.Article();
    m_client.SetArticle(&article);
    const bool posted = waitForClient([this] { m_client.PostComposed(); });
    m_client.SetArticle(before);
    if (!posted)
        return false;
    fresh.State = TArticleState::Accepted;
    QStringList missing;
    if (!m_journal.Record(fresh, &m_outcome.Error) || !missingOf({fresh.MessageId}, missing))
        return false;
    fresh.State = missing.isEmpty() ? TArticleState::Checked : TArticleState::Missing;
    if (!m_journal.Record(fresh, &m_outcome.Error))
        return false;
    m_outcome.Reposted += missing.isEmpty();
    return true;
}

bool TBatchRepair::missingOf(const QStringList& ids, QStringList& missing)
{
    QMetaObject::Connection checked = connect(&m_client, &TbcsNNTP::OnArticleChecked, this,
                                              [&missing](const QString& id, bool present) {
                                                  if (!present)
                                                      missing << id;
                                              });
    const bool ok = waitForClient([&] { m_client.CheckArticles(ids); });
    disconnect(checked);
    return ok;
}

bool TBatchRepair::waitForClient(const std::function<void()>& start)
{
    QEventLoop loop;
    bool ok = false;
    const auto done = [&](bool success, const QString& error) {
        ok = success;
        if (!success && m_outcome.Error.isEmpty())
            m_outcome.Error = error;
        loop.quit();
    };
    connect(&m_client, &TbcsNNTP::OnPosted, &loop, [&] { done(true, QString()); });
    connect(&m_client, &TbcsNNTP::OnCheckDone, &loop, [&] { done(true, QString()); });
    connect(&m_client, &TbcsNNTP::OnPostFailed, &loop, [&](const QString& r) { done(false, r); });
    connect(&m_client, &TbcsNNTP::OnError, &loop, [&](const QString& e) { done(false, e); });
    connect(&m_client, &TbcsNNTP::OnCanceled, &loop, [&] {
        m_outcome.Interrupted = true;
        done(false, QStringLiteral("interrupted"));
    });
    start();
    // The client's own time-outs end a server that does not answer.
    loop.exec();
    return ok;
}
