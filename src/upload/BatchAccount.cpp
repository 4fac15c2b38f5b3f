#include "upload/BatchAccount.h"

#include "article/MessageId.h"
#include "base/AppState.h"
#include "base/CommaText.h"
#include "base/Logger.h"
#include "codec/LocalFile.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskList.h"
#include "upload/NzbFile.h"
#include "upload/UploadTaskFields.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>

namespace {

bool onServer(const TJournalArticle& a)
{
    return a.State == TArticleState::Accepted || a.State == TArticleState::Checked;
}

// The NZB's files: the articles on the server, one file per posted file and groups, in the
// order the journal first names them.
QList<TNzbFile> nzbFiles(const QList<TJournalArticle>& articles)
{
    QList<TNzbFile> files;
    QStringList keys;
    for (const TJournalArticle& a : articles) {
        if (!onServer(a))
            continue;
        const QString key = a.File + '\n' + a.Groups.join(',');
        qsizetype at = keys.indexOf(key);
        if (at < 0) {
            at = keys.size();
            keys << key;
            files << TNzbFile{a.Poster, a.Date, a.Subject, a.Groups, {}};
        }
        TNzbFile& file = files[at];
        if (a.Part == 1 || file.Segments.isEmpty())
            file.Subject = a.Subject; // a downloader names the file after its first part
        file.Date = qMin(file.Date, a.Date);
        file.Segments << TNzbSegment{a.Part, a.Bytes, a.MessageId};
    }
    return files;
}

} // namespace

TBatchAccount::TBatchAccount(TAppState& state, TTaskList& list, TLogger& logger, TbcsNNTP& client,
                             QObject* parent)
    : QObject(parent), m_state(state), m_list(list), m_logger(logger), m_check(client)
{
    connect(&m_check, &TBatchCheck::Done, this, &TBatchAccount::checked);
    m_fileAccount = newFile({}, {}, {}, {});
}

QString TBatchAccount::NewBatchId()
{
    static const char Letters[] = "abcdefghijklmnopqrstuvwxyz234567";
    QString id = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-"));
    for (int i = 0; i < 6; ++i)
        id += QLatin1Char(Letters[QRandomGenerator::system()->bounded(32)]);
    return id;
}

QString TBatchAccount::JournalPath(const QString& batch) const
{
    return m_state.DataFile(QStringLiteral("journals/") + batch + QStringLiteral(".journal"));
}

QString TBatchAccount::NzbFolder() const
{
    const QString folder = m_state.Settings.NzbFolder;
    return folder.isEmpty() ? m_state.DataFile(QStringLiteral("nzb")) : folder;
}

void TBatchAccount::BeginTask(const TTask& task)
{
    const TUploadFields<const TTask> upload = UploadFields(task);
    m_groups = upload.Groups;
    m_poster = upload.From;
    m_fileAccount = newFile(upload.Path, m_groups, m_poster, {});
    m_checkDue = false;
    const UploadTaskFields::TSubjectSpec subject = UploadTaskFields::SubjectSpec(task);
    m_nzbName = subject.Subject.trimmed().isEmpty()
                    ? TLocalFile::Shown(QFileInfo(upload.Path).fileName())
                    : subject.Subject;
    m_repostDue = false;
    if (upload.Batch != m_batch) {
        m_journal.Close();
        m_batchTasks.clear();
        m_repostRounds = 0;
        m_reposted = 0;
        const QString& domain = m_state.Settings.MessageIdDomain;
        if (!MessageId::IsValidDomain(domain))
            m_logger.LogIt(QStringLiteral("Warning: MessageIdDomain \"%1\" cannot stand in a "
                                          "Message-ID; %2 is used")
                               .arg(domain, QLatin1String(MessageId::DefaultDomain)));
    }
    m_batch = upload.Batch;
    if (m_batch.isEmpty())
        return;
    m_batchTasks.removeIf([&](const TTask& t) {
        return UploadFields(t).Path == upload.Path && UploadFields(t).Groups == m_groups;
    });
    m_batchTasks << task;
    if (!beginFile(upload.Path))
        return;
    const QString path = JournalPath(m_batch);
    QString error;
    if (!m_journal.IsOpen() &&
        (!QDir().mkpath(QFileInfo(path).path()) || !m_journal.Open(path, &error)))
        fail(error.isEmpty() ? "Cannot make the folder " + QFileInfo(path).path() : error);
}

std::unique_ptr<TFileAccount> TBatchAccount::OpenAhead(const TTask& task)
{
    const TUploadFields<const TTask> upload = UploadFields(task);
    if (m_batch.isEmpty() || upload.Batch != m_batch || !m_journal.IsOpen())
        return nullptr;
    const std::optional<QList<TJournalArticle>> known = readKnown(upload.Path, upload.Groups);
    if (!known)
        return nullptr;
    return newFile(upload.Path, upload.Groups, upload.From, *known);
}

void TBatchAccount::TakeFile(std::unique_ptr<TFileAccount> account)
{
    if (account && account->File() == m_fileAccount->File() &&
        account->Groups() == CommaText::Read(m_groups))
        m_fileAccount = std::move(account);
}

void TBatchAccount::Flush()
{
    QString error;
    if (m_journal.IsOpen() && !m_journal.Sync(&error))
        fail(error);
}

void TBatchAccount::BeginFile(const QString& path)
{
    m_fileAccount = newFile(path, m_groups, m_poster, {});
    if (!m_batch.isEmpty())
        beginFile(path);
}

bool TBatchAccount::beginFile(const QString& path)
{
    const std::optional<QList<TJournalArticle>> known = readKnown(path, m_groups);
    if (!known)
        return false;
    m_fileAccount = newFile(path, m_groups, m_poster, *known);
    return true;
}

std::unique_ptr<TFileAccount> TBatchAccount::newFile(const QString& path, const QString& groups,
                                                     const QString& poster,
                                                     QList<TJournalArticle> known)
{
    return std::make_unique<TFileAccount>(path, CommaText::Read(groups), poster, std::move(known),
                                          m_state.Settings.MessageIdDomain,
                                          [this](const TJournalArticle& a) { record(a); });
}

// What the journal holds of the file's articles to groups already.
std::optional<QList<TJournalArticle>> TBatchAccount::readKnown(const QString& file,
                                                               const QString& groups)
{
    QList<TJournalArticle> known;
    const QString path = JournalPath(m_batch);
    if (!QFileInfo::exists(path))
        return known;
    QString error;
    const std::optional<QList<TJournalArticle>> read = TUploadJournal::Read(path, &error);
    if (!read) {
        fail(error);
        return std::nullopt;
    }
    const QStringList groupList = CommaText::Read(groups);
    for (const TJournalArticle& a : *read)
        if (a.File == file && a.Groups == groupList)
            known << a;
    return known;
}

void TBatchAccount::SetTotal(int total)
{
    if (!m_fileAccount->SetTotal(total))
        m_logger.LogIt(QStringLiteral("Warning: %1 is cut into %2 parts now, not as the journal "
                                      "says; it is posted whole")
                           .arg(m_fileAccount->File())
                           .arg(total));
}

void TBatchAccount::EndTask(bool completed)
{
    m_fileAccount->Ended();
    if (!m_journal.IsOpen())
        return;
    QString error;
    if (!m_journal.Sync(&error))
        fail(error);
    if (completed && !batchLeftBehindHead())
        batchThrough();
}

void TBatchAccount::batchThrough()
{
    QString error;
    const std::optional<QList<TJournalArticle>> articles =
        TUploadJournal::Read(m_journal.Path(), &error);
    if (!articles) {
        fail(error);
        closeBatch();
        return;
    }
    m_batchArticles = *articles;
    m_checkIds.clear();
    for (const TJournalArticle& a : std::as_const(m_batchArticles))
        if (a.State == TArticleState::Accepted)
            m_checkIds << a.MessageId;
    if (!m_state.Settings.CheckAfterPost || m_checkIds.isEmpty()) {
        writeNzb(m_batchArticles);
        closeBatch();
        return;
    }
    m_checkDue = true;
}

bool TBatchAccount::AfterTask()
{
    if (!m_checkDue)
        return false;
    m_checkDue = false;
    m_list.SetRunnerBusy(true);
    m_check.Start(m_checkIds, m_state.Settings.CheckDelay, m_state.Settings.CheckRounds);
    emit CheckStarted();
    return true;
}

void TBatchAccount::checked(const QStringList& found, const QStringList& missing,
                            const QString& error)
{
    setState(found, TArticleState::Checked);
    setState(missing, TArticleState::Missing);
    QString syncError;
    if (!m_journal.Sync(&syncError))
        fail(syncError);
    if (!error.isEmpty())
        m_logger.LogIt(QStringLiteral("The check after posting stopped: ") + error);
    if (error.isEmpty() && !missing.isEmpty() && m_repostRounds < m_state.Settings.CheckRounds &&
        requeue(missing)) {
        ++m_repostRounds;
        m_reposted += int(missing.size());
        m_repostDue = true;
        m_logger.LogIt(QStringLiteral("Batch %1: %2 article(s) missing, posted again under new "
                                      "Message-IDs")
                           .arg(m_batch)
                           .arg(missing.size()));
        m_batchArticles.clear();
        m_list.SetRunnerBusy(false);
        emit CheckEnded();
        return;
    }
    logLastLine();
    writeNzb(m_batchArticles);
    closeBatch();
    m_list.SetRunnerBusy(false);
    emit CheckEnded();
}

void TBatchAccount::logLastLine()
{
    int posted = 0, checked = 0, missing = 0;
    for (const TJournalArticle& a : std::as_const(m_batchArticles)) {
        posted += a.State != TArticleState::Sent;
        checked += a.State == TArticleState::Checked;
        missing += a.State == TArticleState::Missing;
    }
    m_logger.LogIt(QStringLiteral("Batch %1: %2 posted, %3 checked, %4 re-posted, %5 missing")
                       .arg(m_batch)
                       .arg(posted)
                       .arg(checked)
                       .arg(m_reposted)
                       .arg(missing));
}

bool TBatchAccount::requeue(const QStringList& missing)
{
    if (m_list.IsEmpty() || m_list.Head().Kind != tkUpload)
        return false;
    const QSet<QString> ids(missing.begin(), missing.end());
    const TUploadFields<const TTask> head = UploadFields(std::as_const(m_list.Head()));
    bool again = false;
    int at = 0;
    QStringList queued;
    for (const TJournalArticle& a : std::as_const(m_batchArticles)) {
        if (!ids.contains(a.MessageId))
            continue;
        const QString groups = CommaText::Write(a.Groups);
        if (a.File == head.Path && a.Groups == CommaText::Read(head.Groups)) {
            again = true; // the head runs again
            continue;
        }
        if (queued.contains(a.File + '\n' + groups))
            continue;
        for (const TTask& task : std::as_const(m_batchTasks)) {
            const TUploadFields<const TTask> upload = UploadFields(task);
            if (upload.Path != a.File || CommaText::Read(upload.Groups) != a.Groups)
                continue;
            m_list.Insert(at++, task);
            queued << a.File + '\n' + groups;
            again = true;
            break;
        }
    }
    return again;
}

void TBatchAccount::setState(const QStringList& list, TArticleState state)
{
    const QSet<QString> ids(list.begin(), list.end());
    for (TJournalArticle& a : m_batchArticles) {
        if (!ids.contains(a.MessageId))
            continue;
        a.State = state;
        record(a);
    }
}

void TBatchAccount::closeBatch()
{
    m_journal.Close();
    m_batch.clear();
    m_batchArticles.clear();
    m_checkIds.clear();
}

bool TBatchAccount::batchLeftBehindHead() const
{
    for (int i = 1; i < m_list.Count(); ++i) {
        const TTask& task = m_list.At(i);
        if (task.Kind == tkUpload && UploadFields(task).Batch == m_batch)
            return true;
    }
    return false;
}

void TBatchAccount::writeNzb(const QList<TJournalArticle>& articles)
{
    QString error;
    const QList<TNzbFile> files = nzbFiles(articles);
    if (files.isEmpty())
        return;
    const QString path =
        NzbFile::WriteNew(NzbFolder(), m_nzbName, NzbFile::Document(m_nzbName, files), &error);
    if (path.isEmpty()) {
        fail(error);
        return;
    }
    m_logger.LogIt(QStringLiteral("NZB file written: ") + path);
    emit NzbWritten(path);
}

void TBatchAccount::record(const TJournalArticle& article)
{
    if (!m_journal.IsOpen())
        return;
    QString error;
    if (!m_journal.Record(article, &error))
        fail(error);
}

void TBatchAccount::fail(const QString& text)
{
    m_logger.LogIt(QStringLiteral("Error: ") + text);
}
