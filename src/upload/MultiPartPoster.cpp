#include "upload/MultiPartPoster.h"

#include "base/AppState.h"
#include "base/View.h"
#include "codec/LocalFile.h"
#include "upload/BatchAccount.h"
#include "upload/FileAccount.h"
#include "upload/RecoverySetting.h"
#include "article/NewsArticle.h"
#include "upload/SubjectLine.h"
#include "upload/UploadLines.h"
#include "upload/UploadTaskFields.h"
#include "upload/WholeFileArticle.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {
// Lines read ahead per turn of the event loop: small enough that the end of the article
// still being sent is not held up, large enough to keep the turns few.
constexpr qint64 ReadAheadSlice = 1000;
// As many lines as the part has left.
constexpr qint64 PartRest = std::numeric_limits<qint64>::max();
// How many uploads may go ahead of the head per connection: enough that the connections stay
// busy while the head and the tasks after it end in their turn.
constexpr int SeriesAheadPerConnection = 16;
} // namespace

using namespace UploadTaskFields;

TMultiPartPoster::TMultiPartPoster(TNewsArticle& article, TbcsNNTP& client, TTaskList& list,
                                   TTaskRunner& runner, TView& view, TAppState& state,
                                   TBatchAccount& account, TUploadFailure& failure, QObject* parent)
    : QObject(parent), m_article(article), m_client(client), m_list(list), m_runner(runner),
      m_view(view), m_state(state), m_account(account), m_failure(failure), m_resumeCheck(client),
      m_duplicateCheck(client)
{
    connect(&m_duplicateCheck, &TBatchCheck::Done, this, &TMultiPartPoster::duplicateChecked);
    // Without STAT nothing tells whether the articles sent before are there: the task stops.
    connect(&m_resumeCheck, &TBatchCheck::Refused, this,
            [this](const QStringList&, const QString& text) { failTask(text); });
    connect(&m_resumeCheck, &TBatchCheck::Done, this,
            [this](const QStringList& found, const QStringList&, const QString& error) {
                unansweredChecked(found, error);
            });
    // An error, a lost connection or a cancel leaves the part unanswered; the runner's
    // handler that reports it also ends the task.
    connect(&runner, &TTaskRunner::PartStopped, this, [this] {
        if (!m_active)
            return;
        m_account.EndTask(false);
        finish(false);
    });
    // The queue was cleared or held between two tasks: what went ahead stops with it.
    for (auto stopped : {&TTaskRunner::ListCleared, &TTaskRunner::TasksHeld})
        connect(&runner, stopped, this, [this] {
            if (!m_active)
                dropAhead();
        });
    m_readAheadTimer.setSingleShot(true);
    m_readAheadTimer.setInterval(0);
    connect(&m_readAheadTimer, &QTimer::timeout, this, &TMultiPartPoster::readAheadSlice);
    connect(&m_connections, &TPostConnections::Answered, this, &TMultiPartPoster::parallelAnswered);
    connect(&m_connections, &TPostConnections::Failed, this, &TMultiPartPoster::parallelFailed);
    connect(&m_connections, &TPostConnections::RoomFreed, this, &TMultiPartPoster::continueSeries);
    // The end of a part is on its way: read the next part's lines while the server works.
    connect(&client, &TbcsNNTP::OnNewStatus, this, [this](TClientStatus status) {
        if (m_active && status == csArticleSent && m_part < m_total && !m_readAhead)
            QTimer::singleShot(0, this, &TMultiPartPoster::readAhead);
    });
}

TMultiPartPoster::~TMultiPartPoster() = default;

void TMultiPartPoster::DoMultiPart(const TTask& task)
{
    m_state.SetCurrentProcName(QStringLiteral("DoMultiPart"));
    m_task = task;
    m_upload = UploadValues(task);
    m_headId = m_list.HeadId();
    m_aheadClosed = false;
    if (adoptAhead())
        return;
    dropAhead();
    m_seriesId = m_nextSeriesId++;
    m_active = false;
    m_parallel = false;
    m_part = 0;
    m_total = 0;
    m_onServer = 0;
    m_sentNow = 0;
    dropReadAhead();
    m_runner.SetStatus(QStringLiteral("Composing article"));

    if (task.MaxLines < 1) {
        // Posted whole over one of several connections, composed as it goes.
        if (!TLocalFile::Info(m_upload.Subject.Path).Exists) {
            failTask(QStringLiteral("The file %1 no longer exists")
                         .arg(TLocalFile::Shown(m_upload.Subject.Path)));
            return;
        }
        m_lines.reset();
        m_total = 1;
        m_active = true;
        m_parallel = true;
        m_account.SetTotal(1);
        confirmUnanswered();
        return;
    }
    QString error;
    m_lines = openLines(m_upload, error);
    if (!m_lines) {
        failTask(error);
        return;
    }
    m_lines->SetSink(m_failure.FileSink());
    // Over several connections a file of one article goes as a series of one, so that the
    // files behind it can go ahead.
    const bool parallel = m_runner.PostConnections() > 1;
    if (m_lines->OneArticle() && !parallel) {
        m_account.SetTotal(1);
        if (m_account.Taken(1)) {
            m_lines.reset();
            m_failure.AlreadyPosted();
            return;
        }
        postSingle();
        return;
    }
    m_total = m_lines->PartCount();
    m_active = true;
    m_parallel = parallel;
    m_account.SetTotal(int(m_total));
    confirmUnanswered();
}

void TMultiPartPoster::confirmUnanswered()
{
    const QStringList unanswered = m_account.Unanswered();
    if (unanswered.isEmpty()) {
        postPart();
        return;
    }
    // Asked for like a part in flight: a failure or an abort ends the task the same way.
    m_runner.SetStatus(QStringLiteral("Asking for the parts sent before"));
    m_runner.SetPartInFlight(true);
    m_resumeCheck.Start(unanswered, 0, 1);
}

void TMultiPartPoster::unansweredChecked(const QStringList& found, const QString& error)
{
    // A failure is the runner's to report; it stops the part in flight.
    if (!m_active || !error.isEmpty() || !m_runner.PartInFlight())
        return;
    m_runner.SetPartInFlight(false);
    m_account.Confirmed(found);
    postPart();
}

void TMultiPartPoster::startParallel()
{
    m_parallel = true;
    // The main connection has nothing to do while the series goes: a server that limits
    // connections counts it.
    m_client.Quit();
    m_connections.Prepare(m_client, m_runner.PostConnections());
    showPartsDone();
    // The series is one part in flight for the runner: a failure, a drop or Abort stops it.
    m_runner.SetPartInFlight(true);
    fillConnections();
}

void TMultiPartPoster::fillConnections()
{
    while (m_active && m_connections.HasRoom()) {
        const qint64 before = m_part;
        if (!skipTaken())
            return; // the task has failed
        m_onServer += m_part - before;
        if (m_part >= m_total)
            break;
        ++m_part;
        std::unique_ptr<TNewsArticle> article;
        if (whole(m_task)) {
            QString error;
            article = wholeArticle(m_task, m_account.Current(), error);
            if (!article) {
                failTask(error);
                return;
            }
        } else {
            article = std::make_unique<TNewsArticle>();
            prepareArticle(*article, m_part, m_total);
            if (!takeBody(*article))
                return;
            m_partRange = m_lines->PartRange();
            m_lines->NextPart();
            recordSent(*article);
        }
        ++m_sentNow;
        m_connections.Send(tag(m_seriesId, m_part), std::move(article));
    }
    if (!m_active)
        return;
    if (m_part < m_total) {
        readAhead();
        return;
    }
    if (m_sentNow == 0) {
        // The rest of the series was taken in an earlier run.
        finish(false);
        m_failure.AlreadyPosted();
        return;
    }
    fillAhead();
}

void TMultiPartPoster::fillAhead()
{
    if (!m_failure.LastFileOfTask())
        return;
    while (m_active && m_connections.HasRoom()) {
        TAheadSeries* series = m_ahead.empty() ? nullptr : m_ahead.back().get();
        // A file refused or unreadable ahead stops the queue in its turn: nothing more goes
        // ahead of it.
        if (series && !(series->Refused.isEmpty() && series->Error.isEmpty()))
            m_aheadClosed = true;
        const bool partsLeft = series && series->Part < series->Total &&
                               series->Refused.isEmpty() && series->Error.isEmpty();
        if (!partsLeft)
            series = openAhead();
        if (!series)
            return;
        sendAhead(*series);
    }
}

TMultiPartPoster::TAheadSeries* TMultiPartPoster::openAhead()
{
    // Series whose articles are all out wait for their turn as the head without holding a
    // connection; their number is bounded so that the memory stays bounded too.
    const int next = 1 + int(m_ahead.size());
    if (m_aheadClosed || next > SeriesAheadPerConnection * m_runner.PostConnections() ||
        next >= m_list.Count())
        return nullptr;
    const TTask& task = m_list.At(next);
    const TTaskList::TTaskId taskId = m_list.IdAt(next);
    auto series = std::make_unique<TAheadSeries>();
    if (task.Kind == tkUpload)
        series->Upload = UploadValues(task);
    if (mayGoAhead(task, series->Upload))
        series->Account = m_account.OpenAhead(task);
    bool ready = false;
    if (series->Account && series->Account->New()) {
        // A file that cannot be read waits: its task says why in its turn.
        QString error;
        series->Lines = whole(task) ? nullptr : openLines(series->Upload, error);
        ready = whole(task) ? TLocalFile::Info(series->Upload.Path).Exists : bool(series->Lines);
    }
    if (!ready) {
        // The uploads behind this one wait for their turn too, to keep the list's order.
        m_aheadClosed = true;
        return nullptr;
    }
    series->Id = m_nextSeriesId++;
    series->TaskId = taskId;
    series->Task = task;
    series->Total = whole(task) ? 1 : series->Lines->PartCount();
    series->FileSize = TLocalFile::Info(series->Upload.Path).Size;
    showAheadState(*series);
    m_ahead.push_back(std::move(series));
    return m_ahead.back().get();
}

bool TMultiPartPoster::mayGoAhead(const TTask& task, const TUploadValues& upload) const
{
    if (task.Kind != tkUpload)
        return false;
    if (upload.Batch.isEmpty() || upload.Batch != m_upload.Batch)
        return false;
    if (upload.Client.Server != m_upload.Client.Server ||
        upload.Client.Login.UserName != m_upload.Client.Login.UserName)
        return false;
    QString error;
    const std::optional<TRecoverySetting> recovery =
        TRecoverySetting::Read(UploadFields(task).Recovery, &error);
    return recovery && !recovery->IsSet();
}

void TMultiPartPoster::sendAhead(TAheadSeries& series)
{
    if (whole(series.Task)) {
        std::unique_ptr<TNewsArticle> article =
            wholeArticle(series.Task, *series.Account, series.Error);
        if (article)
            m_connections.Send(tag(series.Id, ++series.Part), std::move(article));
        return;
    }
    const qint64 part = ++series.Part;
    auto article = std::make_unique<TNewsArticle>();
    const QString messageId = series.Account->MessageIdFor(int(part));
    composeHeaders(*article, series.Upload, *series.Lines, messageId, part, series.Total);
    series.Lines->ReservePart(article->RawBodyLines);
    if (!series.Lines->AppendPart(article->RawBodyLines, PartRest)) {
        series.Error = series.Lines->ErrorText();
        --series.Part;
        return;
    }
    const std::pair<qint64, qint64> range = series.Lines->PartRange();
    series.Lines->NextPart();
    recordSent(*series.Account, *article, part, series.Total, range, messageId);
    if (series.Part >= series.Total)
        series.Lines.reset(); // the file is read: its reader and its buffers go
    m_connections.Send(tag(series.Id, part), std::move(article));
}

void TMultiPartPoster::aheadAnswered(TAheadSeries& series, qint64 part, bool accepted, int code,
                                     const QString& text)
{
    series.Account->Answered(int(part), accepted);
    if (accepted) {
        series.Accepted << part;
        m_failure.AheadPartTaken(series.Upload.Path, series.FileSize, series.Accepted.size(),
                                 series.Total);
    } else if (series.Refused.isEmpty()) {
        series.RefusedCode = code;
        series.Refused = text;
    }
    showAheadState(series);
    if (m_active)
        QTimer::singleShot(0, this, &TMultiPartPoster::continueSeries);
}

void TMultiPartPoster::showAheadState(const TAheadSeries& series)
{
    const int index = m_list.IndexOf(series.TaskId);
    if (index < 1)
        return;
    m_list.SetState(index,
                    series.Refused.isEmpty()
                        ? QStringLiteral("running ahead, %1 of %2 parts done")
                              .arg(series.Accepted.size())
                              .arg(series.Total)
                        : QStringLiteral("part refused, reported in its turn: ") + series.Refused);
}

TMultiPartPoster::TAheadSeries* TMultiPartPoster::aheadSeries(quint32 id)
{
    for (const auto& series : m_ahead)
        if (series->Id == id)
            return series.get();
    return nullptr;
}

bool TMultiPartPoster::adoptAhead()
{
    // The task being started is the head's own: a task whose recovery files are posted does
    // not go ahead.
    if (m_ahead.empty() || m_ahead.front()->TaskId != m_list.HeadId())
        return false;
    std::unique_ptr<TAheadSeries> series = std::move(m_ahead.front());
    m_ahead.pop_front();
    m_account.TakeFile(std::move(series->Account));
    m_lines = std::move(series->Lines);
    dropReadAhead();
    m_seriesId = series->Id;
    m_part = series->Part;
    m_total = series->Total;
    m_sentNow = series->Part;
    m_onServer = 0;
    m_active = true;
    m_parallel = true;
    m_runner.ConfigureClient(m_upload.Client);
    m_runner.SetPartInFlight(true);
    // What the server took meanwhile counts now, in the order of the parts.
    std::sort(series->Accepted.begin(), series->Accepted.end());
    for (const qint64 part : std::as_const(series->Accepted))
        m_failure.PartTaken(part, ++m_onServer, m_total);
    showPartsDone();
    if (!series->Error.isEmpty()) {
        failTask(series->Error);
        return true;
    }
    if (!series->Refused.isEmpty()) {
        m_failure.PartRefused(series->RefusedCode, series->Refused);
        return true;
    }
    // Every article of it is out: the connections go on with the files behind it while it
    // ends, so that they are not left idle while the tasks answered ahead end one by one.
    if (m_part >= m_total)
        fillAhead();
    if (m_onServer >= m_total) {
        m_failure.SeriesPosted();
        finish(true);
        return true;
    }
    QTimer::singleShot(0, this, &TMultiPartPoster::continueSeries);
    return true;
}

void TMultiPartPoster::dropAhead()
{
    if (m_ahead.empty())
        return;
    // Those still queued wait for their turn again.
    for (const auto& series : m_ahead)
        if (const int index = m_list.IndexOf(series->TaskId); index > 0)
            m_list.SetState(index, QStringLiteral("waiting"));
    m_ahead.clear();
    m_connections.Stop();
    m_account.Flush();
}

void TMultiPartPoster::parallelAnswered(qint64 tagged, bool accepted, int code, const QString& text)
{
    const auto id = quint32(tagged >> 32);
    const qint64 part = tagged & 0xffffffff;
    if (TAheadSeries* series = aheadSeries(id)) {
        aheadAnswered(*series, part, accepted, code, text);
        return;
    }
    if (!m_active || !m_parallel || id != m_seriesId)
        return;
    if (!accepted && m_account.Current().RefusedAsDuplicate(int(part), code, text)) {
        // Sent again with the Message-ID it had: the server may have it after all.
        m_duplicates.push_back({part, code, text, m_account.Current().MessageIdOf(int(part))});
        if (m_duplicates.size() == 1)
            m_duplicateCheck.Start({m_duplicates.front().MessageId}, 0, 1);
        return;
    }
    m_account.Answered(int(part), accepted);
    if (!accepted) {
        m_failure.PartRefused(code, text);
        return;
    }
    partTaken(part);
}

void TMultiPartPoster::duplicateChecked(const QStringList& found, const QStringList& missing,
                                        const QString& error)
{
    // A failure is the runner's to report; it stops the series.
    if (!m_active || !error.isEmpty() || m_duplicates.empty() ||
        !(found + missing).contains(m_duplicates.front().MessageId)) {
        m_duplicates.clear();
        return;
    }
    const TDuplicate refused = m_duplicates.front();
    m_duplicates.pop_front();
    if (found.isEmpty()) {
        m_account.Current().Missing(int(refused.Part));
        m_failure.PartRefused(refused.Code,
                              refused.Text + QStringLiteral(" (and the server does not have it)"));
        return;
    }
    m_failure.TakenBefore(refused.Text);
    m_account.Answered(int(refused.Part), true);
    if (!m_duplicates.empty())
        m_duplicateCheck.Start({m_duplicates.front().MessageId}, 0, 1);
    partTaken(refused.Part);
}

void TMultiPartPoster::partTaken(qint64 part)
{
    ++m_onServer;
    showPartsDone();
    m_failure.PartTaken(part, m_onServer, m_total);
    if (m_onServer < m_total) {
        // Go on from the event loop, not from inside the client's reply handler.
        QTimer::singleShot(0, this, &TMultiPartPoster::continueSeries);
        return;
    }
    m_failure.SeriesPosted();
    finish(true);
}

void TMultiPartPoster::showPartsDone()
{
    m_list.SetHeadState(
        QStringLiteral("running, %1 of %2 parts done").arg(m_onServer).arg(m_total));
}

void TMultiPartPoster::parallelFailed(const QString& text, int replyCode)
{
    if (!m_active && !m_ahead.empty()) {
        dropAhead();
        m_failure.AheadDropped(text);
        return;
    }
    if (!m_active || !m_parallel)
        return;
    // Reported as the main connection's failures are: the queue is saved (or the task tried
    // again, if the failing connection's own reply says it may pass), and the runner's
    // PartStopped ends the series and drops the other connections.
    m_runner.ConnectionFailed(text, replyCode);
}

void TMultiPartPoster::closeIdleConnections()
{
    if (m_active)
        return;
    // Kept for the series that went ahead, when its task is next.
    if (!m_ahead.empty() && !m_list.IsEmpty() && m_list.HeadId() == m_ahead.front()->TaskId)
        return;
    dropAhead();
    // Kept for the next upload only: the check after a batch (the task held at the head) and
    // any other task use the main connection, and a server may count every open one.
    if (m_list.IsEmpty() || m_list.Head().Kind != tkUpload || m_list.HeadId() == m_headId)
        m_connections.Quit();
}

void TMultiPartPoster::postSingle()
{
    m_part = 1;
    m_total = 1;
    prepareArticle(m_article, 1, 1);
    if (!fillBody(m_article))
        return;
    m_partRange = m_lines->PartRange();
    m_lines.reset();
    recordSent(m_article);
    // The posting handlers see no part in flight and end the task themselves.
    m_client.PostComposed();
}

void TMultiPartPoster::postPart()
{
    if (m_parallel) {
        startParallel();
        return;
    }
    if (!skipTaken())
        return;
    if (m_part >= m_total) {
        // The rest of the series was taken in an earlier run.
        m_active = false;
        m_lines.reset();
        dropReadAhead();
        m_failure.AlreadyPosted();
        return;
    }
    ++m_part;
    prepareArticle(m_article, m_part, m_total);
    if (!takeBody(m_article))
        return;
    m_partRange = m_lines->PartRange();
    m_lines->NextPart();
    recordSent(m_article);
    m_runner.SetPartInFlight(true);
    m_client.PostComposed();
}

bool TMultiPartPoster::skipTaken()
{
    if (whole(m_task)) {
        m_part = m_account.Taken(1) ? 1 : m_part;
        return true;
    }
    while (m_part < m_total && m_account.Taken(int(m_part + 1))) {
        ++m_part;
        m_article.RawBodyLines.Clear();
        if (!takeBody(m_article))
            return false; // the task has failed
        m_article.RawBodyLines.Clear();
        m_lines->NextPart();
    }
    return true;
}

bool TMultiPartPoster::takeBody(TNewsArticle& article)
{
    if (!m_readAhead)
        return fillBody(article);
    // The server answered before the read-ahead was through: read the rest now.
    m_readAheadTimer.stop();
    if (m_readAheadError.isEmpty() && !readPart(m_nextBody, PartRest))
        m_readAheadError = m_lines->ErrorText();
    const QString error = m_readAheadError;
    article.RawBodyLines = std::move(m_nextBody);
    dropReadAhead();
    if (!error.isEmpty()) {
        failTask(error);
        return false;
    }
    return true;
}

void TMultiPartPoster::PartAnswered(bool accepted)
{
    if (!m_active)
        return;
    if (!accepted || m_part >= m_total) {
        finish(true);
        return;
    }
    // Go on from the event loop, not from inside the client's reply handler.
    QTimer::singleShot(0, this, &TMultiPartPoster::continueSeries);
}

void TMultiPartPoster::continueSeries()
{
    if (!m_active)
        return;
    if (!stillHeadTask()) {
        // The queue was saved and cleared meanwhile (an abort, a dropped connection).
        m_active = false;
        m_lines.reset();
        dropReadAhead();
        dropAhead();
        m_connections.Stop();
        return;
    }
    if (m_parallel)
        fillConnections();
    else
        postPart();
}

void TMultiPartPoster::finish(bool nextTask)
{
    m_active = false;
    m_duplicates.clear();
    m_lines.reset();
    dropReadAhead();
    const bool goesOn = nextTask && stillHeadTask();
    if (m_parallel) {
        // What went ahead stays on its way for the next task.
        if (!goesOn || m_ahead.empty()) {
            dropAhead();
            m_connections.Stop();
        }
        QTimer::singleShot(0, this, &TMultiPartPoster::closeIdleConnections);
    }
    m_runner.SetPartInFlight(false);
    if (goesOn)
        m_failure.FileEnded();
}

void TMultiPartPoster::Stop()
{
    if (m_active)
        finish(false);
}

bool TMultiPartPoster::stillHeadTask() const
{
    return !m_list.IsEmpty() && m_list.HeadId() == m_headId;
}

bool TMultiPartPoster::fillBody(TNewsArticle& article)
{
    m_lines->ReservePart(article.RawBodyLines);
    if (readPart(article.RawBodyLines, PartRest))
        return true;
    failTask(m_lines->ErrorText());
    return false;
}

bool TMultiPartPoster::readPart(TByteLines& body, qint64 lines)
{
    return m_lines->AppendPart(body, lines);
}

void TMultiPartPoster::readAhead()
{
    if (!m_active || m_readAhead || !m_lines || m_part >= m_total)
        return;
    m_readAhead = true;
    m_nextBody.Clear();
    m_lines->ReservePart(m_nextBody);
    readAheadSlice();
}

void TMultiPartPoster::readAheadSlice()
{
    if (!m_readAhead || !m_readAheadError.isEmpty() || !m_lines)
        return;
    // A failure is reported only if the series gets that far.
    if (!readPart(m_nextBody, ReadAheadSlice)) {
        m_readAheadError = m_lines->ErrorText();
        return;
    }
    if (!m_lines->PartDone())
        m_readAheadTimer.start();
}

void TMultiPartPoster::dropReadAhead()
{
    m_readAheadTimer.stop();
    m_nextBody.Clear();
    m_readAhead = false;
    m_readAheadError.clear();
}

void TMultiPartPoster::prepareArticle(TNewsArticle& article, qint64 part, qint64 total)
{
    m_messageId = m_account.MessageIdFor(int(part));
    if (total > 1 && !m_parallel)
        m_list.SetHeadState(QStringLiteral("running, part %1 of %2").arg(part).arg(total));
    composeHeaders(article, m_upload, *m_lines, m_messageId, part, total);
    m_runner.ConfigureClient(m_upload.Client);
}

void TMultiPartPoster::composeHeaders(TNewsArticle& article, const TUploadValues& upload,
                                      const TUploadLines& lines, const QString& messageId,
                                      qint64 part, qint64 total) const
{
    const TSubjectParts& subjectParts = upload.Subject;
    article.Clear();
    m_state.SetCurrentProcName(QStringLiteral("BuildSubjectLine"));
    const QString subject =
        TSubjectLine::BuildSubjectLine(subjectParts.Template, subjectParts.Subject,
                                       subjectParts.Path, part, total, subjectParts.Name);
    m_state.SetCurrentProcName(QStringLiteral("DoMultiPart"));
    article.Subject = subject;
    article.AddHeader(QStringLiteral("Subject: ") + subject);
    article.AddHeader(QStringLiteral("From: ") + upload.From);
    article.AddHeader(QStringLiteral("Message-ID: ") + messageId);
    if (!upload.ReplyTo.isEmpty())
        article.AddHeader(QStringLiteral("Reply-To: ") + upload.ReplyTo);
    if (!upload.Organization.isEmpty())
        article.AddHeader(QStringLiteral("Organization: ") + upload.Organization);
    const QString charset = lines.Charset().Name(m_state.Settings.TextCharset);
    for (const QString& line : TNewsArticle::CharsetHeaders(charset))
        article.AddHeader(line);
    article.Newsgroups = upload.Groups;
    article.SignatureFile = upload.Signature;
}

namespace {

// The file's bytes a yEnc part carries, from its "=ypart begin=B end=E" line; 0, 0 for an
// article that is not a yEnc part of its own.
std::pair<qint64, qint64> yEncPartRange(const TByteLines& body)
{
    for (qsizetype i = 0; i < body.Size() && i < 64; ++i) {
        const QByteArrayView line = body.At(i);
        if (!line.startsWith("=ypart "))
            continue;
        const QList<QByteArray> words = line.toByteArray().split(' ');
        qint64 begin = 0, end = 0;
        for (const QByteArray& w : words) {
            if (w.startsWith("begin="))
                begin = w.mid(6).toLongLong();
            else if (w.startsWith("end="))
                end = w.mid(4).toLongLong();
        }
        return {begin, end};
    }
    return {0, 0};
}

} // namespace

void TMultiPartPoster::recordSent(const TNewsArticle& article)
{
    recordSent(m_account.Current(), article, m_part, m_total, m_partRange, m_messageId);
}

std::unique_ptr<TUploadLines> TMultiPartPoster::openLines(const TUploadValues& upload,
                                                          QString& error)
{
    const QString& path = upload.Subject.Path;
    auto lines = std::make_unique<TUploadLines>();
    if (lines->Open(upload.Include, path, TNewsArticle::NeedsEncoding(path), upload.Signature,
                    upload.Encoding, upload.MaxLines))
        return lines;
    error = lines->ErrorText();
    return nullptr;
}

std::unique_ptr<TNewsArticle>
TMultiPartPoster::wholeArticle(const TTask& task, TFileAccount& account, QString& error) const
{
    auto article = std::make_unique<TNewsArticle>();
    const QString messageId = account.MessageIdFor(1);
    SetUpWholeFileArticle(*article, task, messageId, m_state.Settings.TextCharset);
    if (!article->TryCompose()) {
        error = article->ErrorText;
        return nullptr;
    }
    RecordWholeFileSent(account, UploadFields(task).Path, messageId, article->Subject);
    return article;
}

void TMultiPartPoster::recordSent(TFileAccount& account, const TNewsArticle& article, qint64 part,
                                  qint64 total, std::pair<qint64, qint64> range,
                                  const QString& messageId)
{
    qint64 bytes = 0;
    for (const QString& h : article.HeaderLines)
        bytes += h.toUtf8().size() + 2;
    const TByteLines& body = article.RawBodyLines;
    if (!body.IsEmpty())
        bytes += 2 + body.Span(0, body.Size()).size();
    const auto [yEncBegin, yEncEnd] = yEncPartRange(body);
    const bool ownRange = yEncBegin > 0;
    const qint64 begin = ownRange ? yEncBegin : range.first;
    const qint64 end = ownRange ? yEncEnd : range.second;
    account.Sent(int(part), int(total), begin, end, bytes, messageId, article.Subject);
}

void TMultiPartPoster::failTask(QString text)
{
    m_active = false;
    m_duplicates.clear();
    m_lines.reset();
    dropReadAhead();
    m_connections.Stop();
    m_runner.SetPartInFlight(false);
    m_failure.FailTask(text);
}
