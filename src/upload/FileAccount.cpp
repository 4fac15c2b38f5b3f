#include "upload/FileAccount.h"

#include "article/MessageId.h"

#include <QDateTime>

#include <algorithm>

namespace {

bool onServer(const TJournalArticle& a)
{
    return a.State == TArticleState::Accepted || a.State == TArticleState::Checked;
}

} // namespace

TFileAccount::TFileAccount(const QString& file, const QStringList& groups, const QString& poster,
                           QList<TJournalArticle> known, const QString& messageIdDomain,
                           TRecorder record)
    : m_file(file), m_groups(groups), m_poster(poster), m_domain(messageIdDomain),
      m_record(std::move(record)), m_known(std::move(known))
{
    // A series stops at its first refusal, so a last part the server answered means the
    // whole file went through once.
    for (const TJournalArticle& a : std::as_const(m_known))
        m_takenWholeBefore |= a.Part == a.Total && a.State != TArticleState::Sent;
}

QString TFileAccount::MessageIdFor(int part) const
{
    for (const TJournalArticle& a : m_known)
        if (a.Part == part && a.State == TArticleState::Sent)
            return a.MessageId;
    return MessageId::Make(m_domain);
}

bool TFileAccount::SetTotal(int total)
{
    const qsizetype before = m_known.size();
    m_known.removeIf([total](const TJournalArticle& a) { return a.Total != total; });
    return m_known.size() == before;
}

bool TFileAccount::Taken(int part) const
{
    return std::any_of(m_known.begin(), m_known.end(),
                       [part](const TJournalArticle& a) { return a.Part == part && onServer(a); });
}

QStringList TFileAccount::Unanswered() const
{
    QStringList ids;
    for (const TJournalArticle& a : m_known)
        if (a.State == TArticleState::Sent)
            ids << a.MessageId;
    return ids;
}

void TFileAccount::Confirmed(const QStringList& messageIds)
{
    for (TJournalArticle& a : m_known) {
        if (a.State != TArticleState::Sent || !messageIds.contains(a.MessageId))
            continue;
        a.State = TArticleState::Accepted;
        if (a.Server.isEmpty() && m_server)
            a.Server = m_server();
        m_record(a);
    }
}

void TFileAccount::Sent(int part, int total, qint64 begin, qint64 end, qint64 bytes,
                        const QString& messageId, const QString& subject)
{
    const QString server = m_server ? m_server() : QString();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    m_current = {m_file,  part,     total,    begin, end,   bytes, messageId, TArticleState::Sent,
                 subject, m_groups, m_poster, now,   server};
    m_unanswered.insert(part, m_current);
    m_record(m_current);
}

bool TFileAccount::sentBefore(int part, const QString& messageId) const
{
    return std::any_of(m_known.begin(), m_known.end(), [&](const TJournalArticle& a) {
        return a.Part == part && a.MessageId == messageId;
    });
}

bool TFileAccount::RefusedAsDuplicate(int code, const QString& text) const
{
    return !m_current.MessageId.isEmpty() && RefusedAsDuplicate(m_current.Part, code, text);
}

bool TFileAccount::RefusedAsDuplicate(int part, int code, const QString& text) const
{
    const QString id = MessageIdOf(part);
    return !id.isEmpty() && sentBefore(part, id) && duplicateRefusal(code, text);
}

bool TFileAccount::duplicateRefusal(int code, const QString& text)
{
    if (code == 435 || code == 437)
        return true;
    // The text may come as the failure shows it, after the reply's code.
    const QString said = text.startsWith(QLatin1String("441 ")) ? text.mid(4) : text;
    return code == 441 &&
           (said.startsWith(QLatin1String("435")) || said.startsWith(QLatin1String("437")) ||
            said.contains(QLatin1String("duplicate"), Qt::CaseInsensitive));
}

void TFileAccount::Answered(bool accepted)
{
    if (m_current.MessageId.isEmpty())
        return;
    Answered(m_current.Part, accepted);
    if (accepted)
        m_current.State = TArticleState::Accepted;
}

void TFileAccount::Answered(int part, bool accepted)
{
    TJournalArticle article = m_unanswered.take(part);
    if (article.MessageId.isEmpty() || !accepted)
        return;
    article.State = TArticleState::Accepted;
    m_record(article);
    m_known.removeIf([&](const TJournalArticle& a) { return a.Part == part; });
    m_known << article;
}

void TFileAccount::Missing()
{
    if (!m_current.MessageId.isEmpty())
        Missing(m_current.Part);
}

void TFileAccount::Missing(int part)
{
    TJournalArticle article = m_unanswered.take(part);
    if (article.MessageId.isEmpty())
        return;
    article.State = TArticleState::Missing;
    m_record(article);
    m_known.removeIf([&](const TJournalArticle& a) { return a.Part == article.Part; });
    m_known << article;
}

void TFileAccount::Ended()
{
    m_current = {};
    m_unanswered.clear();
}
