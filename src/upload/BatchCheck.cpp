#include "upload/BatchCheck.h"

#include "net/bcsNNTP.h"

TBatchCheck::TBatchCheck(TbcsNNTP& client, QObject* parent) : QObject(parent), m_client(client)
{
    m_delay.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, &TBatchCheck::ask);
    connect(&client, &TbcsNNTP::OnArticleChecked, this, &TBatchCheck::checked);
    connect(&client, &TbcsNNTP::OnCheckDone, this, &TBatchCheck::roundDone);
    connect(&client, &TbcsNNTP::OnError, this, &TBatchCheck::stopped);
    connect(&client, &TbcsNNTP::OnCheckRefused, this, [this](const QString& text) {
        if (!m_running)
            return;
        m_running = false;
        m_delay.stop();
        emit Refused(m_found, text);
    });
    connect(&client, &TbcsNNTP::OnCanceled, this, [this] { stopped(QStringLiteral("Canceled")); });
    // Between rounds nothing is asked: the next round connects again.
    connect(&client, &TbcsNNTP::OnDisconnected, this, [this] {
        if (!m_delay.isActive())
            stopped(QStringLiteral("The connection to %1 was closed (STAT check)")
                        .arg(m_client.Server()));
    });
}

void TBatchCheck::Start(const QStringList& messageIds, int delaySeconds, int rounds)
{
    m_asked.clear();
    m_found.clear();
    m_missing = messageIds;
    m_roundsLeft = rounds;
    m_running = true;
    m_delay.setInterval(qMax(0, delaySeconds) * 1000);
    m_delay.start();
}

void TBatchCheck::ask()
{
    if (!m_running)
        return;
    --m_roundsLeft;
    m_asked = m_missing;
    m_missing.clear();
    m_client.CheckArticles(m_asked);
}

void TBatchCheck::checked(const QString& messageId, bool present)
{
    if (!m_running || m_delay.isActive())
        return;
    m_asked.removeOne(messageId);
    (present ? m_found : m_missing) << messageId;
}

void TBatchCheck::roundDone()
{
    if (!m_running || m_delay.isActive())
        return;
    if (!m_missing.isEmpty() && m_roundsLeft > 0) {
        m_delay.start();
        return;
    }
    m_running = false;
    emit Done(m_found, m_missing, QString());
}

void TBatchCheck::stopped(const QString& error)
{
    if (!m_running)
        return;
    m_running = false;
    m_delay.stop();
    // What was not asked in the last round stays unknown, not missing.
    emit Done(m_found, QStringList(), error);
}
