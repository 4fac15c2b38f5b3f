#include "upload/BatchCheck.h"

#include "net/bcsNNTP.h"

#include <QDeadlineTimer>

#include <algorithm>

TBatchCheck::TBatchCheck(TbcsNNTP& client, QObject* parent) : QObject(parent), m_client(client)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TBatchCheck::ask);
    connect(&client, &TbcsNNTP::OnArticleChecked, this, &TBatchCheck::checked);
    connect(&client, &TbcsNNTP::OnCheckDone, this, &TBatchCheck::roundDone);
    connect(&client, &TbcsNNTP::OnError, this, &TBatchCheck::stopped);
    connect(&client, &TbcsNNTP::OnCheckRefused, this, &TBatchCheck::refused);
    connect(&client, &TbcsNNTP::OnCanceled, this, [this] {
        // A cancel ends the check even between two askings.
        m_open = false;
        m_asking = m_running;
        stopped(QStringLiteral("Canceled"));
    });
    // Between askings nothing is on its way: the next asking connects again.
    connect(&client, &TbcsNNTP::OnDisconnected, this, [this] {
        stopped(
            QStringLiteral("The connection to %1 was closed (STAT check)").arg(m_client.Server()));
    });
}

qint64 TBatchCheck::now()
{
    return QDeadlineTimer::current().deadline();
}

void TBatchCheck::Start(const QStringList& messageIds, int delaySeconds, int rounds)
{
    Open(delaySeconds, rounds);
    for (const QString& id : messageIds)
        Add(id);
    Finish();
}

void TBatchCheck::Open(int delaySeconds, int rounds)
{
    m_timer.stop();
    m_due.clear();
    m_asked.clear();
    m_found.clear();
    m_missing.clear();
    m_refusal.clear();
    m_delay = qint64(qMax(0, delaySeconds)) * 1000;
    m_rounds = qMax(1, rounds);
    m_running = true;
    m_open = true;
    m_asking = false;
    m_held = false;
}

void TBatchCheck::Add(const QString& messageId)
{
    if (!m_running)
        return;
    m_due.push_back({messageId, now() + m_delay, 1});
    if (!m_asking && !m_timer.isActive())
        schedule(m_delay);
}

void TBatchCheck::Finish()
{
    if (!m_running)
        return;
    m_open = false;
    // A connection that failed meanwhile is tried again now.
    m_held = false;
    if (!m_asking)
        schedule(0);
}

void TBatchCheck::Stop()
{
    m_running = false;
    m_open = false;
    m_asking = false;
    m_timer.stop();
    m_due.clear();
}

void TBatchCheck::schedule(qint64 ms)
{
    m_timer.start(int(std::clamp<qint64>(ms, 0, 24 * 3600 * 1000)));
}

void TBatchCheck::ask()
{
    if (!m_running || m_asking || m_held)
        return;
    if (!m_refusal.isEmpty() && !m_open) {
        m_running = false;
        emit Refused(m_found, m_refusal);
        return;
    }
    const qint64 at = now();
    m_asked.clear();
    m_answered = 0;
    while (m_refusal.isEmpty() && !m_due.empty() && m_due.front().Due <= at) {
        m_asked << m_due.front();
        m_due.pop_front();
    }
    if (!m_asked.isEmpty()) {
        m_asking = true;
        QStringList ids;
        ids.reserve(m_asked.size());
        for (const TDue& due : std::as_const(m_asked))
            ids << due.MessageId;
        m_client.CheckArticles(ids);
        return;
    }
    if (!m_due.empty() && m_refusal.isEmpty()) {
        schedule(m_due.front().Due - at);
        return;
    }
    if (m_open)
        return; // more articles join as they are taken
    m_running = false;
    emit Done(m_found, m_missing, QString());
}

void TBatchCheck::checked(const QString& messageId, bool present)
{
    if (!m_running || !m_asking || m_answered >= m_asked.size())
        return;
    const TDue due = m_asked.at(m_answered++);
    if (due.MessageId != messageId)
        return;
    if (present)
        m_found << messageId;
    else if (due.Round < m_rounds)
        m_due.push_back({messageId, now() + m_delay, due.Round + 1});
    else
        m_missing << messageId;
}

void TBatchCheck::roundDone()
{
    if (!m_running || !m_asking)
        return;
    m_asking = false;
    m_asked.clear();
    // Goes on from the event loop, not inside the client's reply handler.
    schedule(0);
}

void TBatchCheck::refused(const QString& text)
{
    if (!m_running || !m_asking)
        return;
    m_asking = false;
    m_refusal = text;
    m_asked.clear();
    m_timer.stop();
    // While the batch is still being posted, the refusal is told once it is through.
    if (!m_open) {
        m_running = false;
        emit Refused(m_found, text);
    }
}

void TBatchCheck::stopped(const QString& error)
{
    if (!m_running || !m_asking)
        return;
    m_asking = false;
    if (m_open) {
        // Posting goes on: what was being asked is asked again once the batch is through.
        for (qsizetype i = m_asked.size() - 1; i >= m_answered; --i)
            m_due.push_front(m_asked.at(i));
        m_asked.clear();
        m_held = true;
        m_timer.stop();
        emit Paused(error);
        return;
    }
    m_running = false;
    m_timer.stop();
    // What was not asked in the last round stays unknown, not missing.
    emit Done(m_found, QStringList(), error);
}
