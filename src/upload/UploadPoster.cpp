#include "upload/UploadPoster.h"

#include "base/AppState.h"
#include "base/CommaText.h"
#include "base/Logger.h"
#include "base/View.h"
#include "codec/LocalFile.h"
#include "upload/BatchAccount.h"
#include "upload/MultiPartPoster.h"
#include "article/NewsArticle.h"
#include "upload/SubjectLine.h"
#include "upload/UploadTaskFields.h"
#include "upload/WholeFileArticle.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>

using namespace UploadTaskFields;

namespace {

// The file's bytes up to the end of the parts done; the last part takes what is left.
qint64 bytesUpTo(qint64 fileSize, qint64 done, qint64 parts)
{
    return done >= parts ? fileSize : fileSize * done / std::max<qint64>(parts, 1);
}

} // namespace

TUploadPoster::TUploadPoster(TNewsArticle& article, TbcsNNTP& client, TTaskList& list,
                             TTaskRunner& runner, TView& view, TLogger& logger, TAppState& state,
                             const TClock& clock, QObject* parent)
    : QObject(parent), m_article(article), m_client(client), m_list(list), m_runner(runner),
      m_view(view), m_logger(logger), m_state(state),
      m_account(std::make_unique<TBatchAccount>(state, list, logger, view, client,
                                                runner.ConnectionOverride())),
      m_multiPart(std::make_unique<TMultiPartPoster>(article, client, list, runner, view, state,
                                                     *m_account,
                                                     static_cast<TUploadFailure&>(*this))),
      m_recovery(std::make_unique<TRecoveryFiles>(state, list, runner, view, logger, *m_account,
                                                  static_cast<TRecoveryTarget&>(*this))),
      m_retry(list, logger, state), m_failover(runner, state), m_duplicateCheck(client),
      m_singleCheck(client), m_progress(clock)
{
    // A failure that may pass keeps the task for another try, as often as the profile says.
    runner.SetRetryHandler([this](const QString& reason, int replyCode) {
        return m_retry.Take(reason, replyCode >= 400 ? replyCode : 0);
    });
    m_retry.SetSwitch([this](const QString& reason) { return switchServer(reason); });
    connect(&runner, &TTaskRunner::ListCleared, &m_retry, &TPostRetry::Cancel);
    connect(&runner, &TTaskRunner::ListCleared, this, [this] { m_failover.Reset(); });
    connect(&runner, &TTaskRunner::ListCleared, this, &TUploadPoster::endProgress);
    for (auto stopped : {&TTaskRunner::ListCleared, &TTaskRunner::TasksHeld})
        connect(&runner, stopped, m_account.get(), &TBatchAccount::QueueStopped);
    connect(&m_duplicateCheck, &TBatchCheck::Done, this,
            [this](const QStringList& found, const QStringList&, const QString& error) {
                duplicateChecked(m_duplicateReason, found, error);
            });
    connect(&m_singleCheck, &TBatchCheck::Done, this,
            [this](const QStringList& found, const QStringList&, const QString& error) {
                singleChecked(found, error);
            });
    // Without STAT nothing tells whether the article sent before is there: the task stops.
    for (TBatchCheck* check : {&m_duplicateCheck, &m_singleCheck})
        connect(check, &TBatchCheck::Refused, this,
                [this](const QStringList&, const QString& text) {
                    m_runner.SetPartInFlight(false);
                    FailTask(text);
                });
    connect(m_account.get(), &TBatchAccount::CheckStarted, this, [this] {
        if (!m_list.IsEmpty())
            m_checkedId = m_list.HeadId();
    });
    connect(m_account.get(), &TBatchAccount::CheckFailed, &m_runner,
            &TTaskRunner::ConnectionFailed);
    connect(m_account.get(), &TBatchAccount::CheckEnded, this, [this] {
        // Articles found missing go again: the task runs again after their uploads.
        if (!m_list.IsEmpty() && m_list.HeadId() == m_checkedId && !m_account->RepostDue())
            m_runner.DoNextTask();
    });
    runner.SetHandler(tkUpload, [this](TTask& task) { PostFile(task); });
    connect(&client, &TbcsNNTP::OnPosted, this, &TUploadPoster::NNTPPosted);
    connect(&client, &TbcsNNTP::OnPostFailed, this, &TUploadPoster::NNTPPostFailed);
    connect(&client, &TbcsNNTP::OnProgress, this, &TUploadPoster::NNTPProgress);
    TPostConnections& connections = m_multiPart->Connections();
    connect(&connections, &TPostConnections::Progress, this, &TUploadPoster::NNTPProgress);
    connect(&connections, &TPostConnections::LogEvent, this,
            [this](const QString& text) { m_logger.LogIt(text.trimmed()); });
    // However the task ends short (Abort, Clear, an error, a lost connection), its recovery
    // files go: the making of the set is stopped, the set removed.
    for (auto stopped :
         {&TTaskRunner::ListCleared, &TTaskRunner::TasksHeld, &TTaskRunner::PartStopped})
        connect(&runner, stopped, m_recovery.get(), &TRecoveryFiles::Stop);
}

TUploadPoster::~TUploadPoster() = default;

void TUploadPoster::PostFile(const TTask& task)
{
    m_state.SetCurrentProcName(QStringLiteral("PostFile"));
    m_state.Commands.SetActionEnabled(TViewAction::Abort, true);
    m_list.SetRunnerBusy(true);
    beginProgress(task);
    m_account->BeginTask(task);
    m_recovery->Begin(task);
}

void TUploadPoster::PostTaskFile(const TTask& fileTask)
{
    // What the journal holds may be asked for before an article goes.
    m_runner.ConfigureClient(ClientSetup(fileTask));
    fileProgress(UploadFields(fileTask).Path);
    // Over several connections a file posted whole goes over them too, so that the files
    // behind it can go ahead.
    if (fileTask.MaxLines >= 1 || m_runner.PostConnections() > 1) {
        m_multiPart->DoMultiPart(fileTask);
        return;
    }
    m_account->SetTotal(1);
    if (m_account->Taken(1)) {
        AlreadyPosted();
        return;
    }
    const QStringList unanswered = m_account->Unanswered();
    if (!unanswered.isEmpty()) {
        // Asked for like a part in flight: a failure or an abort ends the task the same way.
        m_singleTask = fileTask;
        m_runner.SetStatus(QStringLiteral("Asking for the article sent before"));
        m_runner.SetPartInFlight(true);
        m_singleCheck.Start(unanswered, 0, 1);
        return;
    }
    postSingleArticle(fileTask);
}

void TUploadPoster::singleChecked(const QStringList& found, const QString& error)
{
    // A failure is the runner's to report; it stops the part in flight.
    if (!error.isEmpty() || !m_runner.PartInFlight())
        return;
    m_runner.SetPartInFlight(false);
    m_account->Confirmed(found);
    if (m_account->Taken(1))
        AlreadyPosted();
    else
        postSingleArticle(m_singleTask);
}

void TUploadPoster::FileEnded()
{
    if (m_fileCompleted && m_recovery->PostNext())
        return;
    m_recovery->Stop();
    nextTask();
}

void TUploadPoster::postSingleArticle(const TTask& task)
{
    const TUploadFields<const TTask> upload = UploadFields(task);
    // A file gone since it was queued would leave the include text posted alone, or an
    // empty article refused with a text that names no file: say which file, keep the task.
    if (!TLocalFile::Info(upload.Path).Exists) {
        FailTask(
            QStringLiteral("The file %1 no longer exists").arg(TLocalFile::Shown(upload.Path)));
        return;
    }
    m_state.SetCurrentProcName(QStringLiteral("BuildSubjectLine"));
    const QString messageId = m_account->MessageIdFor(1);
    SetUpWholeFileArticle(m_article, task, messageId, m_state.Settings.TextCharset);
    m_state.SetCurrentProcName(QStringLiteral("PostFile"));
    m_runner.ConfigureClient(ClientSetup(task));
    RecordWholeFileSent(m_account->Current(), upload.Path, messageId, m_article.Subject);
    m_client.Post();
}

void TUploadPoster::endPosting(bool completed)
{
    // The task goes on with its recovery files: it is not through yet.
    m_fileCompleted = completed;
    const bool more = completed && m_recovery->HasNext();
    m_account->EndTask(completed && !more);
    m_view.SetProgress(0);
    if (!more)
        m_state.Commands.SetActionEnabled(TViewAction::Abort, false);
}

void TUploadPoster::NNTPPosted()
{
    m_state.SetCurrentProcName(QStringLiteral("NNTPPosted"));
    answered(m_client.ReplyCode() == 240);
}

void TUploadPoster::answered(bool accepted)
{
    m_account->Answered(accepted);
    const bool series = m_multiPart->Active() && m_runner.PartInFlight();
    const bool goesOn = series && m_multiPart->ContinuesAfter(accepted);
    if (accepted) {
        const qint64 part = series ? m_multiPart->Part() : 1;
        partProgress(part, part, series ? m_multiPart->TotalParts() : 1);
        m_retry.Succeeded();
    }
    if (goesOn)
        m_view.SetProgress(0); // Abort stays on from one part to the next
    else
        endPosting(accepted);
    m_runner.SetStatus(QStringLiteral("Posted OK"));
    if (accepted && !goesOn)
        countPost();
    if (m_runner.PartInFlight()) {
        m_runner.SetPartInFlight(false);
        m_multiPart->PartAnswered(accepted);
        return;
    }
    FileEnded();
}

void TUploadPoster::countPost()
{
    // A post counts once in its groups: for the task's own file, not its recovery files, and
    // not again when a resumed run or a re-post round finds it taken before.
    if (m_list.IsEmpty())
        return;
    const TUploadFields<const TTask> upload = UploadFields(std::as_const(m_list.Head()));
    if (m_account->File() == upload.Path && !m_account->TakenWholeBefore())
        emit UploadAccepted(upload.Groups.split(u','));
}

void TUploadPoster::nextTask()
{
    bool uploadsBehind = false;
    for (int i = 1; i < m_list.Count() && !uploadsBehind; ++i)
        uploadsBehind = m_list.At(i).Kind == tkUpload;
    if (!uploadsBehind)
        endProgress();
    if (!m_account->AfterTask())
        m_runner.DoNextTask();
}

void TUploadPoster::AlreadyPosted()
{
    if (m_list.IsEmpty())
        return;
    m_logger.LogIt(QStringLiteral("Posted before: ") + UploadFields(m_list.Head()).Path);
    m_progress.Recount(m_fileSize - m_fileDone);
    m_fileDone = m_fileSize;
    m_runner.SetPartInFlight(false);
    endPosting(true);
    m_runner.SetStatus(QStringLiteral("Posted OK"));
    countPost();
    FileEnded();
}

void TUploadPoster::PartTaken(qint64 part, qint64 done, qint64 total)
{
    partProgress(part, done, total);
    m_retry.Succeeded();
    m_runner.SetStatus(QStringLiteral("Posted OK"));
}

void TUploadPoster::PartRefused(int code, const QString& reason)
{
    refused(reason, code);
}

void TUploadPoster::SeriesPosted()
{
    endPosting(true);
    countPost();
}

void TUploadPoster::TakenBefore(const QString& reason)
{
    m_logger.LogIt(QStringLiteral("Taken before: ") + reason);
}

bool TUploadPoster::LastFileOfTask() const
{
    return !m_recovery->HasNext();
}

void TUploadPoster::AheadDropped(const QString& text)
{
    m_logger.LogIt(QStringLiteral("Posting ahead stopped: %1; the next files go on from the "
                                  "journal")
                       .arg(text));
}

void TUploadPoster::NNTPPostFailed(const QString& reason)
{
    m_state.SetCurrentProcName(QStringLiteral("NNTPPostFailed"));
    // An article sent again with the Message-ID it had, refused as a duplicate: the server
    // took it the first time, if STAT finds it there.
    if (m_account->RefusedAsDuplicate(m_client.ReplyCode(), reason)) {
        m_duplicateReason = reason;
        m_duplicateCheck.Start({m_account->CurrentMessageId()}, 0, 1);
        return;
    }
    refused(reason, m_client.ReplyCode());
}

void TUploadPoster::duplicateChecked(const QString& reason, const QStringList& found,
                                     const QString& error)
{
    if (!error.isEmpty())
        return; // the runner reports it and stops the part
    if (!found.isEmpty()) {
        TakenBefore(reason);
        answered(true);
        return;
    }
    // Refused as a duplicate, yet not there: it goes under a new Message-ID next time.
    m_account->Missing();
    refused(reason + QStringLiteral(" (and the server does not have it)"), m_client.ReplyCode());
}

bool TUploadPoster::switchServer(const QString& reason)
{
    if (m_list.IsEmpty())
        return false;
    const QString text =
        m_failover.Switch(ClientSetup(std::as_const(m_list.Head())).Server, reason);
    if (text.isEmpty())
        return false;
    // The series stops here: a step of it still queued must not go on towards the new server
    // beside the task's fresh start there.
    m_multiPart->Stop();
    m_logger.LogIt(text);
    // Shown once the retry's state is set: the window's message box runs the event loop, and
    // a failure of another connection meanwhile must find the task already waiting.
    QTimer::singleShot(0, this, [this, text] { m_view.ShowWarning(text); });
    return true;
}

void TUploadPoster::refused(const QString& reason, int code)
{
    if (m_retry.Take(reason, code)) {
        endPosting(false);
        m_runner.SetStatus(reason);
        m_runner.SetPartInFlight(false);
        m_multiPart->Stop();
        return;
    }
    endPosting(false);
    m_runner.SetStatus(reason);
    if (!m_list.IsEmpty())
        m_list.SetHeadFailed(reason);
    showFailure(reason);
    if (m_runner.PartInFlight()) {
        m_runner.SetPartInFlight(false);
        m_multiPart->PartAnswered(false);
        return;
    }
    m_runner.DoNextTask();
}

void TUploadPoster::NNTPProgress(int percent)
{
    // The batch learns of a new part first, so that the percentage is the new part's.
    batchPart();
    m_view.SetProgress(percent);
}

void TUploadPoster::batchPart()
{
    if (!m_progress.Running())
        return;
    const bool series = m_multiPart->Active();
    const qint64 part = series ? m_multiPart->Part() : 1;
    const TBatchProgressState before = m_progress.State();
    if (before.File == m_filePath && before.Part == part)
        return;
    m_progress.SetCurrent(m_filePath, part, series ? m_multiPart->TotalParts() : 1);
    emit BatchProgressChanged(m_progress.State());
}

void TUploadPoster::beginProgress(const TTask& task)
{
    if (m_progress.Running())
        return;
    // A new batch tries the tasks' own server first again.
    m_failover.Reset();
    // Every upload queued now is of the batch; a file listed twice (once per group) counts
    // twice, as it goes twice.
    qint64 total = 0;
    m_countedFiles.clear();
    for (int i = 0; i < m_list.Count(); ++i) {
        const TTask& queued = m_list.At(i);
        if (queued.Kind != tkUpload)
            continue;
        const QString path = UploadFields(queued).Path;
        total += TLocalFile::Info(path).Size;
        m_countedFiles << path;
    }
    if (m_countedFiles.isEmpty()) {
        const QString path = UploadFields(task).Path;
        total = TLocalFile::Info(path).Size;
        m_countedFiles << path;
    }
    m_progress.Begin(total);
    emit BatchProgressChanged(m_progress.State());
}

void TUploadPoster::fileProgress(const QString& path)
{
    m_filePath = path;
    m_fileSize = TLocalFile::Info(path).Size;
    m_fileDone = m_aheadDone.take(path);
    // A recovery file made on the way, or a file the batch counted once and posts again.
    if (!m_countedFiles.removeOne(path))
        m_progress.AddTotal(m_fileSize);
    emit FileStarted(path);
}

void TUploadPoster::partProgress(qint64 part, qint64 done, qint64 parts)
{
    if (!m_progress.Running())
        return;
    // Parts taken in an earlier run, or while the file was behind the head, included. Each
    // answer of this run brings one part more: what came with it before it was counted in
    // an earlier run.
    const qint64 earlier = bytesUpTo(m_fileSize, std::max<qint64>(done - 1, 0), parts);
    if (earlier > m_fileDone) {
        m_progress.Recount(earlier - m_fileDone);
        m_fileDone = earlier;
    }
    const qint64 upTo = bytesUpTo(m_fileSize, done, parts);
    m_progress.Advance(std::max<qint64>(upTo - m_fileDone, 0));
    m_fileDone = std::max(m_fileDone, upTo);
    m_progress.SetCurrent(m_filePath, part, parts);
    emit BatchProgressChanged(m_progress.State());
    emit PartAccepted(m_filePath, part, parts);
    if (done >= parts)
        emit FileDone(m_filePath, parts);
}

void TUploadPoster::AheadPartTaken(const QString& path, qint64 size, qint64 done, qint64 total)
{
    if (!m_progress.Running())
        return;
    const qint64 upTo = bytesUpTo(size, done, total);
    qint64& counted = m_aheadDone[path];
    m_progress.Advance(std::max<qint64>(upTo - counted, 0));
    counted = std::max(counted, upTo);
    emit BatchProgressChanged(m_progress.State());
}

void TUploadPoster::endProgress()
{
    m_aheadDone.clear();
    m_progress.End();
    m_countedFiles.clear();
}

void TUploadPoster::DoIncludeText(const std::optional<QStringList>& given)
{
    m_state.SetCurrentProcName(QStringLiteral("DoIncludeText"));
    PendingIncludeText.clear();
    const std::optional<QStringList> answer = given ? given : m_view.AskIncludeText();
    if (!answer)
        return;
    QStringList lines = *answer;
    // A memo left empty still yields a blank line; that is no text to include.
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (!lines.isEmpty())
        PendingIncludeText = CommaText::Write(lines);
}

void TUploadPoster::showFailure(const QString& text)
{
    const QString cause = m_retry.FirstCause();
    endProgress();
    m_runner.ClearTaskList(true);
    const QString before = cause.isEmpty() || cause == text
                               ? QString()
                               : QStringLiteral("\nIt was being tried again after: ") + cause;
    m_view.ShowError(text + before + m_runner.KeptText());
}

void TUploadPoster::FailTask(const QString& text)
{
    m_logger.LogIt(QStringLiteral("Error: ") + text);
    endPosting(false);
    m_runner.SetStatus(text);
    if (!m_list.IsEmpty())
        m_list.SetHeadFailed(text);
    showFailure(text);
    m_runner.DoNextTask();
}
