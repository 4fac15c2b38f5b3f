#include "app/HistoryControl.h"

#include "base/AppState.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskLine.h"
#include "tasks/TaskList.h"
#include "upload/BatchAccount.h"
#include "upload/BatchCheck.h"
#include "upload/BatchRepair.h"
#include "upload/CheckServer.h"
#include "upload/UploadJournal.h"

#include <QSet>

THistoryControl::THistoryControl(TAppState& state, const TTaskList& list,
                                 const TBatchAccount& account, QObject* parent)
    : QObject(parent), m_state(state), m_list(list), m_account(account)
{
}

THistoryControl::~THistoryControl() = default;

QList<THistoryEntry> THistoryControl::Entries(QStringList* errors) const
{
    return UploadHistory::Read(m_state.DataFile(QStringLiteral("journals")), m_account.NzbFolder(),
                               errors);
}

QString THistoryControl::journalOf(const QString& batch) const
{
    return m_state.DataFile(QStringLiteral("journals/")) + batch + QStringLiteral(".journal");
}

QString THistoryControl::refusal(const QString& batch) const
{
    if (Busy())
        return QStringLiteral("%1 is being checked or repaired; wait until it is through, or "
                              "stop it")
            .arg(m_batch);
    for (int i = 0; i < m_list.Count(); ++i)
        if (QString(UploadFields(m_list.At(i)).Batch) == batch)
            return QStringLiteral("%1 is still in the queue: it can be checked or repaired "
                                  "once its tasks are through")
                .arg(batch);
    return QString();
}

QString THistoryControl::CheckAgain(const QString& batch)
{
    if (QString why = refusal(batch); !why.isEmpty())
        return why;
    QString error;
    const std::optional<TJournalContent> content = TUploadJournal::Read(journalOf(batch), &error);
    if (!content)
        return error;
    QStringList ids;
    for (const TJournalArticle& a : content->Articles())
        ids << a.MessageId;
    if (ids.isEmpty())
        return QStringLiteral("%1 lists no articles to check").arg(batch);
    m_batch = batch;
    m_stopping = false;
    m_asked = int(ids.size());
    m_checked = 0;
    m_client = std::make_unique<TbcsNNTP>();
    CheckServer::SetUp(*m_client, CheckServer::Of(m_state.Settings, {}));
    m_check = std::make_unique<TBatchCheck>(*m_client);
    connect(m_client.get(), &TbcsNNTP::OnArticleChecked, this, [this] {
        emit Progress(m_batch, ++m_checked, m_asked, QStringLiteral("Asking the server"));
    });
    connect(m_check.get(), &TBatchCheck::Done, this, &THistoryControl::checkDone);
    connect(m_check.get(), &TBatchCheck::Refused, this,
            [this](const QStringList& found, const QString& text) { checkDone(found, {}, text); });
    emit Progress(batch, 0, m_asked, QStringLiteral("Asking the server"));
    m_check->Start(ids, 0, 1);
    return QString();
}

void THistoryControl::checkDone(const QStringList& found, const QStringList& missing,
                                const QString& error)
{
    THistoryResult result{m_batch, false, m_asked, int(missing.size()), 0, error, m_stopping};
    // What was asked is recorded, also when the check stopped on the way: the history's
    // state and counts are read from the journal.
    const QSet<QString> there(found.cbegin(), found.cend());
    const QSet<QString> gone(missing.cbegin(), missing.cend());
    TUploadJournal journal;
    QString failure;
    if (journal.Open(journalOf(m_batch), &failure)) {
        for (TJournalArticle a : journal.Content().Articles()) {
            const TArticleState state = there.contains(a.MessageId)  ? TArticleState::Checked
                                        : gone.contains(a.MessageId) ? TArticleState::Missing
                                                                     : a.State;
            if (state == a.State)
                continue;
            a.State = state;
            if (!journal.Record(a, &failure))
                break;
        }
        journal.Sync(failure.isEmpty() ? &failure : nullptr);
    }
    if (result.Error.isEmpty())
        result.Error = failure;
    m_client->Quit();
    m_check.release()->deleteLater();
    m_client.release()->deleteLater();
    finish(result);
}

QString THistoryControl::Repair(const QString& batch, const QString& sourceFolder)
{
    if (QString why = refusal(batch); !why.isEmpty())
        return why;
    m_batch = batch;
    const ProfileSettings& s = m_state.Settings;
    const TCheckServer post = CheckServer::PostServer(s, {});
    const TCheckServer check = CheckServer::Of(s, {});
    m_client = std::make_unique<TbcsNNTP>();
    CheckServer::SetUp(*m_client, post);
    if (check.Separate) {
        m_checkClient = std::make_unique<TbcsNNTP>();
        CheckServer::SetUp(*m_checkClient, check);
    }
    m_repair =
        std::make_unique<TBatchRepair>(*m_client, m_checkClient ? *m_checkClient : *m_client);
    connect(m_repair.get(), &TBatchRepair::Progress, this,
            [this](const QString& text) { emit Progress(m_batch, 0, 0, text); });
    connect(m_repair.get(), &TBatchRepair::Finished, this, &THistoryControl::repairDone);
    emit Progress(batch, 0, 0, QStringLiteral("Asking the server"));
    m_repair->Start({batch, sourceFolder, m_state.DataFile(QStringLiteral("journals")),
                     m_account.NzbFolder(), s.MessageIdDomain, s.Organization, s.ReplyTo});
    return QString();
}

void THistoryControl::repairDone(const TRepairOutcome& outcome)
{
    const THistoryResult result{
        m_batch,          true,          outcome.Articles,   outcome.Missing,
        outcome.Reposted, outcome.Error, outcome.Interrupted};
    m_client->Quit();
    if (m_checkClient)
        m_checkClient->Quit();
    // Gone once the repair's signal has returned.
    m_repair.release()->deleteLater();
    m_client.release()->deleteLater();
    if (m_checkClient)
        m_checkClient.release()->deleteLater();
    finish(result);
}

void THistoryControl::Abort()
{
    if (m_check) {
        m_stopping = true;
        m_client->Cancel();
        return;
    }
    if (m_repair)
        m_repair->Abort();
}

void THistoryControl::finish(const THistoryResult& result)
{
    // Told from the event loop, not from inside the client's signal: whoever hears it may
    // open a dialog.
    QMetaObject::invokeMethod(
        this,
        [this, result] {
            m_batch.clear();
            emit Finished(result);
        },
        Qt::QueuedConnection);
}
