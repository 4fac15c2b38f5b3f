#include "app/HistoryControl.h"

#include "base/AppState.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskLine.h"
#include "tasks/TaskList.h"
#include "upload/BatchAccount.h"
#include "upload/BatchCheck.h"
#include "upload/BatchRepair.h"
#include "upload/UploadJournal.h"

#include <QSet>
#include <QThread>

THistoryControl::THistoryControl(TAppState& state, const TTaskList& list,
                                 const TBatchAccount& account, QObject* parent)
    : QObject(parent), m_state(state), m_list(list), m_account(account)
{
}

THistoryControl::~THistoryControl()
{
    if (m_thread) {
        Abort();
        m_thread->wait();
        delete m_thread;
    }
}

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

THistoryControl::TServer THistoryControl::server() const
{
    const ProfileSettings& s = m_state.Settings;
    return {s.Host,
            s.LoginRequired,
            s.UserID,
            s.Password,
            s.Timeout,
            s.PostTimeout,
            {TlsModeFromText(s.Security), s.TrustedAuthorities, s.TrustedFingerprint}};
}

void THistoryControl::setUp(TbcsNNTP& client, const TServer& server)
{
    client.SetServer(server.Host);
    client.SetAuthenticate(server.Login);
    client.SetUserName(server.User);
    client.SetPassword(server.Password);
    client.SetTimeout(server.Timeout);
    client.SetPostTimeout(server.PostTimeout);
    client.SetTls(server.Tls);
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
    setUp(*m_client, server());
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

QString THistoryControl::uuencodedFile(const QString& batch) const
{
    QString error;
    const std::optional<TJournalContent> content = TUploadJournal::Read(journalOf(batch), &error);
    if (!content)
        return QString(); // the repair names what it cannot read
    for (const TJournalFile& file : content->Files()) {
        const std::optional<TTask> task = TaskLine::Read(file.Task, &error);
        if (task && !UploadFields(*task).YEnc)
            return file.File;
    }
    return QString();
}

QString THistoryControl::Repair(const QString& batch, const QString& sourceFolder)
{
    if (QString why = refusal(batch); !why.isEmpty())
        return why;
    // A lost part is made again as a yEnc part: a uuencoded file's parts are cut otherwise.
    if (const QString file = uuencodedFile(batch); !file.isEmpty())
        return QStringLiteral("%1 was posted uuencoded: Repair posts lost parts again as yEnc "
                              "parts only, so it leaves this batch as it is. Post the file again "
                              "instead.")
            .arg(file);
    m_batch = batch;
    const TRepairRequest request{batch, sourceFolder, m_state.DataFile(QStringLiteral("journals")),
                                 m_account.NzbFolder(), m_state.Settings.MessageIdDomain};
    const TServer to = server();
    emit Progress(batch, 0, 0, QStringLiteral("Asking the server"));
    // The repair waits for its client in an event loop of its own: on this thread it would
    // run the window's events inside a handler.
    m_thread = QThread::create([this, request, to] {
        TbcsNNTP client;
        setUp(client, to);
        TBatchRepair repair(client);
        connect(&repair, &TBatchRepair::Progress, this,
                [this, batch = request.EntryOrNzb](const QString& text) {
                    emit Progress(batch, 0, 0, text);
                });
        {
            QMutexLocker lock(&m_repairLock);
            m_repair = &repair;
        }
        const TRepairOutcome outcome = repair.Run(request);
        client.Quit();
        {
            QMutexLocker lock(&m_repairLock);
            m_repair = nullptr;
        }
        const THistoryResult result{
            request.EntryOrNzb, true,          outcome.Articles,   outcome.Missing,
            outcome.Reposted,   outcome.Error, outcome.Interrupted};
        QMetaObject::invokeMethod(
            this, [this, result] { repairDone(result); }, Qt::QueuedConnection);
    });
    m_thread->start();
    return QString();
}

void THistoryControl::repairDone(const THistoryResult& result)
{
    m_thread->wait();
    delete std::exchange(m_thread, nullptr);
    finish(result);
}

void THistoryControl::Abort()
{
    if (m_check) {
        m_stopping = true;
        m_client->Cancel();
        return;
    }
    QMutexLocker lock(&m_repairLock);
    if (TBatchRepair* repair = m_repair)
        QMetaObject::invokeMethod(
            repair, [repair] { repair->Abort(); }, Qt::QueuedConnection);
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
