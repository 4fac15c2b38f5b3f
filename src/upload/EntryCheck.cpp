#include "upload/EntryCheck.h"

#include "article/MessageId.h"
#include "codec/PrintableText.h"
#include "net/bcsNNTP.h"
#include "upload/ArticleBodyCheck.h"
#include "upload/NzbFile.h"
#include "upload/UploadHistory.h"
#include "upload/UploadJournal.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

TEntryCheck::TEntryCheck(TbcsNNTP& client, QObject* parent) : QObject(parent), m_client(client)
{
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &TEntryCheck::ask);
    connect(&m_client, &TbcsNNTP::OnArticleChecked, this, [this](const QString& id, bool present) {
        if (m_step == TStep::Asking && !present)
            m_missing << m_index.value(id);
    });
    connect(&m_client, &TbcsNNTP::OnCheckDone, this, [this] {
        if (m_step == TStep::Asking)
            asked();
    });
    connect(&m_client, &TbcsNNTP::OnBodyFetched, this,
            [this](const QString& id, bool there, const QByteArrayList& lines) {
                if (m_step != TStep::Fetching)
                    return;
                const QString damage = there ? ArticleBodyCheck::Damage(lines)
                                             : QStringLiteral("the server has no body for it");
                if (!damage.isEmpty())
                    m_outcome.Damaged << QStringLiteral("%1  %2  damaged: %3")
                                             .arg(id, m_what.value(m_index.value(id, -1)), damage);
            });
    connect(&m_client, &TbcsNNTP::OnBodiesDone, this, [this] {
        if (m_step == TStep::Fetching)
            finish();
    });
    connect(&m_client, &TbcsNNTP::OnError, this, &TEntryCheck::failed);
    connect(&m_client, &TbcsNNTP::OnCheckRefused, this, &TEntryCheck::failed);
    connect(&m_client, &TbcsNNTP::OnCanceled, this, [this] {
        m_outcome.Interrupted = true;
        failed(QStringLiteral("interrupted"));
    });
}

void TEntryCheck::Start(const TEntryCheckRequest& request, const TCheckServer& server)
{
    m_request = request;
    m_server = server;
    m_outcome = {};
    m_round = 0;
    m_posted = 0;
    m_ids.clear();
    m_what.clear();
    m_index.clear();
    const QString& what = request.EntryOrNzb;
    QString error;
    if (what.endsWith(QLatin1String(".nzb"), Qt::CaseInsensitive))
        error = readNzb(what);
    else if (const QString journal = QDir(request.JournalFolder).filePath(what + ".journal");
             what.contains(u'/') || !QFileInfo::exists(journal))
        error = QStringLiteral("no batch %1 in the history").arg(what);
    else
        error = readEntry(journal);
    if (error.isEmpty() && m_ids.isEmpty() && m_outcome.Unusable.isEmpty())
        error = QStringLiteral("%1 lists no articles").arg(what);
    m_outcome.Articles = int(m_ids.size());
    m_asking = m_ids;
    if (!error.isEmpty() || m_ids.isEmpty())
        return finish(error); // every one listed was unusable: nothing to ask
    nextRound();
}

void TEntryCheck::Abort()
{
    if (m_step == TStep::Waiting) {
        m_wait.stop();
        m_outcome.Interrupted = true;
        return finish(QStringLiteral("interrupted"));
    }
    if (m_step != TStep::Idle)
        m_client.Cancel();
}

QString TEntryCheck::readEntry(const QString& journal)
{
    QString error;
    const std::optional<TJournalContent> content = TUploadJournal::Read(journal, &error);
    if (!content)
        return error;
    m_outcome.Journal = journal;
    QStringList files;
    for (const TJournalArticle& a : content->Articles()) {
        if (files.isEmpty() || files.last() != a.File)
            files << a.File;
        addSegment(int(files.size()), a.Subject, a.Part, a.MessageId);
        m_posted = std::max(m_posted, a.Date);
    }
    return QString();
}

QString TEntryCheck::readNzb(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    QString error;
    const std::optional<QList<TNzbFile>> files = NzbFile::Read(file.readAll(), &error);
    if (!files)
        return QStringLiteral("%1 is no NZB file: %2").arg(path, error);
    // When it was posted, as the file says (not when the file was written or fetched).
    for (const TNzbFile& f : *files)
        m_posted = std::max(m_posted, f.Date);
    int fileNo = 0;
    for (const TNzbFile& f : *files) {
        ++fileNo;
        for (const TNzbSegment& s : f.Segments)
            addSegment(fileNo, f.Subject, s.Number, s.MessageId);
    }
    m_outcome.Journal = UploadHistory::FindJournal(m_request.JournalFolder, m_ids);
    return QString();
}

void TEntryCheck::addSegment(int fileNo, const QString& subject, int part, const QString& messageId)
{
    const QString id = messageId.startsWith(u'<') ? messageId : '<' + messageId + '>';
    if (const QString problem = MessageId::Problem(id); !problem.isEmpty()) {
        m_outcome.Unusable << QStringLiteral("file %1 (%2), segment %3: the Message-ID %4 is %5; "
                                             "it was not checked")
                                  .arg(QString::number(fileNo), PrintableText(subject),
                                       QString::number(part), PrintableText(id), problem);
        return;
    }
    if (m_index.contains(id))
        return;
    m_index.insert(id, m_ids.size());
    m_ids << id;
    m_what << QStringLiteral("%1, part %2").arg(subject).arg(part);
}

void TEntryCheck::nextRound()
{
    // Round k asks delay × k after the post; rounds whose time has passed count as done,
    // the last one excepted: an old post is asked for once, at once.
    const int delay = m_request.DelaySeconds.value_or(m_server.DelaySeconds);
    const int rounds = std::max(1, m_server.Rounds);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    do
        ++m_round;
    while (m_round < rounds && m_posted + qint64(delay) * m_round < now);
    const qint64 wait = std::max<qint64>(0, m_posted + qint64(delay) * m_round - now);
    m_step = TStep::Waiting;
    if (wait > 0)
        emit Progress(QStringLiteral("waiting %1 s for the articles to reach %2")
                          .arg(wait)
                          .arg(m_server.Setup.Server));
    m_wait.start(int(std::min<qint64>(wait, 24 * 3600) * 1000));
}

void TEntryCheck::ask()
{
    m_step = TStep::Asking;
    m_missing.clear();
    m_client.CheckArticles(m_asking);
}

void TEntryCheck::asked()
{
    m_asking.clear();
    for (const qsizetype index : std::as_const(m_missing))
        m_asking << m_ids.at(index);
    if (!m_asking.isEmpty() && m_round < std::max(1, m_server.Rounds)) {
        emit Progress(QStringLiteral("%1 article(s) not on %2 yet")
                          .arg(m_asking.size())
                          .arg(m_server.Setup.Server));
        return nextRound();
    }
    for (const qsizetype index : std::as_const(m_missing))
        m_outcome.Missing << m_ids.at(index) + QStringLiteral("  ") + m_what.at(index);
    if (m_request.BodiesPercent > 0)
        return fetchBodies();
    finish();
}

void TEntryCheck::fetchBodies()
{
    // Spread over the whole post: every article whose share of percent reaches a whole one.
    const QSet<qsizetype> missing(m_missing.cbegin(), m_missing.cend());
    const int percent = m_request.BodiesPercent;
    QStringList sample;
    qsizetype present = 0;
    for (qsizetype i = 0; i < m_ids.size(); ++i) {
        if (missing.contains(i))
            continue;
        if ((present + 1) * percent / 100 > present * percent / 100)
            sample << m_ids.at(i);
        ++present;
    }
    m_step = TStep::Fetching;
    m_client.FetchBodies(sample);
}

void TEntryCheck::failed(const QString& error)
{
    if (m_step == TStep::Asking || m_step == TStep::Fetching)
        finish(error);
}

void TEntryCheck::finish(const QString& error)
{
    m_step = TStep::Idle;
    m_client.Quit();
    m_outcome.Error = error;
    // Only a check that asked for every article tells the batch's state.
    if (error.isEmpty() && !m_outcome.Journal.isEmpty())
        m_outcome.Error = recordFindings();
    emit Finished(m_outcome);
}

QString TEntryCheck::recordFindings()
{
    QSet<QString> missing;
    for (const qsizetype index : std::as_const(m_missing))
        missing.insert(m_ids.at(index));
    TUploadJournal journal;
    QString error;
    if (!journal.Open(m_outcome.Journal, &error))
        return error;
    for (TJournalArticle a : journal.Content().Articles()) {
        if (!m_index.contains(a.MessageId))
            continue;
        const TArticleState now =
            missing.contains(a.MessageId) ? TArticleState::Missing : TArticleState::Checked;
        if (a.State == now)
            continue;
        a.State = now;
        if (!journal.Record(a, &error))
            return error;
    }
    const TJournalCheck check{QDateTime::currentSecsSinceEpoch(), m_server.Setup.Server,
                              m_outcome.Articles, int(missing.size())};
    if (!journal.Record(check, &error) || !journal.Sync(&error))
        return error;
    return QString();
}
