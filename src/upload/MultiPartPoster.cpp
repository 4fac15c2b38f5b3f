#include "upload/MultiPartPoster.h"

#include "base/AppState.h"
#include "base/View.h"
#include "upload/BatchAccount.h"
#include "article/NewsArticle.h"
#include "upload/SubjectLine.h"
#include "upload/UploadLines.h"
#include "upload/UploadTaskFields.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

#include <QTimer>

#include <limits>

namespace {
// Lines read ahead per turn of the event loop: small enough that the end of the article
// still being sent is not held up, large enough to keep the turns few.
constexpr qint64 ReadAheadSlice = 1000;
// As many lines as the part has left.
constexpr qint64 PartRest = std::numeric_limits<qint64>::max();
} // namespace

using namespace UploadTaskFields;

TMultiPartPoster::TMultiPartPoster(TNewsArticle& article, TbcsNNTP& client, TTaskList& list,
                                   TTaskRunner& runner, TView& view, TAppState& state,
                                   TBatchAccount& account, TUploadFailure& failure, QObject* parent)
    : QObject(parent), m_article(article), m_client(client), m_list(list), m_runner(runner),
      m_view(view), m_state(state), m_account(account), m_failure(failure), m_resumeCheck(client)
{
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
    m_headTask = m_list.IsEmpty() ? task : m_list.Head();
    m_active = false;
    m_parallel = false;
    m_part = 0;
    m_total = 0;
    m_onServer = 0;
    m_sentNow = 0;
    dropReadAhead();
    m_runner.SetStatus(QStringLiteral("Composing article"));

    const TSubjectSpec subjectSpec = SubjectSpec(task);
    m_lines = std::make_unique<TUploadLines>();
    if (!m_lines->Open(IncludeLines(task), subjectSpec.Path,
                       TNewsArticle::NeedsEncoding(subjectSpec.Path), ExistingSignature(task),
                       BodyEncoding(task), task.MaxLines)) {
        failTask(m_lines->ErrorText());
        return;
    }
    if (m_lines->OneArticle()) {
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
    m_parallel = m_state.Settings.Connections > 1;
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
    m_connections.Prepare(m_client, m_state.Settings.Connections);
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
        auto article = std::make_unique<TNewsArticle>();
        prepareArticle(*article, m_part, m_total);
        if (!takeBody(*article))
            return;
        m_partRange = m_lines->PartRange();
        m_lines->NextPart();
        recordSent(*article);
        ++m_sentNow;
        m_connections.Send(m_part, std::move(article));
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
    }
}

void TMultiPartPoster::parallelAnswered(qint64 part, bool accepted, int code, const QString& text)
{
    if (!m_active || !m_parallel)
        return;
    m_account.Answered(int(part), accepted);
    if (!accepted) {
        m_failure.PartRefused(code, text);
        return;
    }
    ++m_onServer;
    m_failure.PartTaken(part, m_onServer, m_total);
    if (m_onServer < m_total) {
        // Go on from the event loop, not from inside the client's reply handler.
        QTimer::singleShot(0, this, &TMultiPartPoster::continueSeries);
        return;
    }
    m_failure.SeriesPosted();
    finish(true);
}

void TMultiPartPoster::parallelFailed(const QString& text)
{
    if (!m_active || !m_parallel)
        return;
    // Reported as the main connection's failures are: the queue is saved (or the task tried
    // again), and the runner's PartStopped ends the series and drops the other connections.
    m_runner.NNTPError(text);
}

void TMultiPartPoster::closeIdleConnections()
{
    if (m_active)
        return;
    // Kept for the next upload only: the check after a batch (the task held at the head) and
    // any other task use the main connection, and a server may count every open one.
    if (m_list.IsEmpty() || m_list.Head().Kind != tkUpload || m_list.Head() == m_headTask)
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
    m_lines.reset();
    dropReadAhead();
    if (m_parallel) {
        m_connections.Stop();
        QTimer::singleShot(0, this, &TMultiPartPoster::closeIdleConnections);
    }
    m_runner.SetPartInFlight(false);
    if (nextTask && stillHeadTask())
        m_failure.FileEnded();
}

void TMultiPartPoster::Stop()
{
    if (m_active)
        finish(false);
}

bool TMultiPartPoster::stillHeadTask() const
{
    return !m_list.IsEmpty() && m_list.Head() == m_headTask;
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
    const TUploadFields<const TTask> upload = UploadFields(std::as_const(m_task));
    const TSubjectSpec subjectSpec = SubjectSpec(m_task);
    article.Clear();
    m_state.SetCurrentProcName(QStringLiteral("BuildSubjectLine"));
    const QString subject = TSubjectLine::BuildSubjectLine(
        subjectSpec.Template, subjectSpec.Subject, subjectSpec.Path, part, total);
    m_state.SetCurrentProcName(QStringLiteral("DoMultiPart"));
    article.Subject = subject;
    article.AddHeader(QStringLiteral("Subject: ") + subject);
    article.AddHeader(QStringLiteral("From: ") + upload.From);
    m_messageId = m_account.MessageIdFor(int(part));
    if (total > 1)
        m_list.SetHeadState(QStringLiteral("running, part %1 of %2").arg(part).arg(total));
    article.AddHeader(QStringLiteral("Message-ID: ") + m_messageId);
    if (!upload.ReplyTo.isEmpty())
        article.AddHeader(QStringLiteral("Reply-To: ") + upload.ReplyTo);
    if (!upload.Organization.isEmpty())
        article.AddHeader(QStringLiteral("Organization: ") + upload.Organization);
    const QString charset = m_lines->Charset().Name(m_state.Settings.TextCharset);
    for (const QString& line : TNewsArticle::CharsetHeaders(charset))
        article.AddHeader(line);
    article.Newsgroups = upload.Groups;
    article.SignatureFile = ExistingSignature(m_task);
    m_runner.ConfigureClient(ClientSetup(m_task));
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
    qint64 bytes = 0;
    for (const QString& h : article.HeaderLines)
        bytes += h.toUtf8().size() + 2;
    const TByteLines& body = article.RawBodyLines;
    if (!body.IsEmpty())
        bytes += 2 + body.Span(0, body.Size()).size();
    const auto [yEncBegin, yEncEnd] = yEncPartRange(body);
    const bool ownRange = yEncBegin > 0;
    const qint64 begin = ownRange ? yEncBegin : m_partRange.first;
    const qint64 end = ownRange ? yEncEnd : m_partRange.second;
    m_account.Sent(int(m_part), int(m_total), begin, end, bytes, m_messageId, article.Subject);
}

void TMultiPartPoster::failTask(QString text)
{
    m_active = false;
    m_lines.reset();
    dropReadAhead();
    m_connections.Stop();
    m_runner.SetPartInFlight(false);
    m_failure.FailTask(text);
}
