#include "upload/PostRetry.h"

#include "base/AppState.h"
#include "base/Logger.h"
#include "tasks/TaskList.h"

#include <QRandomGenerator>

#include <algorithm>

namespace {
constexpr int LongestDelay = 60000;
} // namespace

TPostRetry::TPostRetry(TTaskList& list, TLogger& logger, const TAppState& state, QObject* parent)
    : QObject(parent), m_list(list), m_logger(logger), m_state(state)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TPostRetry::retry);
}

bool TPostRetry::MayPass(int replyCode)
{
    return replyCode == 0 || replyCode == 400 || replyCode == 436 || replyCode == 503;
}

int TPostRetry::Delay(int attempt, double jitter, int first)
{
    const qint64 doubled = qint64(first) << std::clamp(attempt - 1, 0, 20);
    const double spread = double(std::min<qint64>(doubled, LongestDelay)) * (1.0 + 0.2 * jitter);
    return int(std::clamp(spread, 0.0, double(LongestDelay)));
}

bool TPostRetry::Take(const QString& reason, int replyCode)
{
    if (m_timer.isActive())
        return true;
    if (m_list.IsEmpty() || m_list.Head().Kind != tkUpload) {
        m_used = 0;
        return false;
    }
    if (!MayPass(replyCode) || m_used >= m_state.Settings.PostRetries) {
        m_used = 0;
        if (!m_switch || !m_switch(reason))
            return false;
        // Another server: the task starts again there at once, its failures counted afresh.
        m_cause.clear();
        m_list.SetRunnerBusy(true);
        m_timer.start(0);
        return true;
    }
    if (m_used++ == 0)
        m_cause = reason;
    const double jitter = QRandomGenerator::global()->generateDouble() * 2 - 1;
    const int delay = Delay(m_used, jitter, m_firstDelay);
    m_logger.LogIt(QStringLiteral("%1; trying again in %2 s (%3 of %4)")
                       .arg(reason)
                       .arg(delay / 1000.0, 0, 'f', 1)
                       .arg(m_used)
                       .arg(m_state.Settings.PostRetries));
    m_list.SetRunnerBusy(true); // the task waits at the head
    m_timer.start(delay);
    return true;
}

void TPostRetry::Cancel()
{
    m_timer.stop();
    m_used = 0;
    m_cause.clear();
}

void TPostRetry::retry()
{
    // The runner starts the head task at its next idle step.
    if (!m_list.IsEmpty())
        m_list.SetRunnerBusy(false);
}
