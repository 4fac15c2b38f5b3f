#include "upload/BatchAccount.h"

#include "article/MessageId.h"
#include "base/AppState.h"
#include "base/CommaText.h"
#include "base/Logger.h"
#include "base/SafeFile.h"
#include "base/View.h"
#include "codec/LocalFile.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskLine.h"
#include "tasks/TaskList.h"
#include "net/bcsNNTP.h"
#include "upload/BatchNzb.h"
#include "upload/CheckServer.h"
#include "upload/NzbFile.h"
#include "upload/UploadTaskFields.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>

namespace {

// Whether the article is on the server: found there, or (when the batch was not checked)
// accepted.
bool onServer(const TJournalArticle& a, bool verified)
{
    return a.State == TArticleState::Checked || (!verified && a.State == TArticleState::Accepted);
}

// The NZB's files: the articles on the server, one file per posted file and groups, in the
// order the journal first names them.
QList<TNzbFile> nzbFiles(const QList<TJournalArticle>& articles, bool verified)
{
    QList<TNzbFile> files;
    QStringList keys;
    for (const TJournalArticle& a : articles) {
        if (!onServer(a, verified))
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

TBatchAccount::TBatchAccount(TAppState& state, TTaskList& list, TLogger& logger, TView& view,
                             TbcsNNTP& client, const TConnectionOverride& session, QObject* parent)
    : QObject(parent), m_state(state), m_list(list), m_logger(logger), m_view(view),
      m_client(client), m_session(session), m_checkClient(std::make_unique<TbcsNNTP>()),
      m_check(*m_checkClient)
{
    connect(&m_check, &TBatchCheck::Done, this, &TBatchAccount::checked);
    connect(&m_check, &TBatchCheck::Refused, this, &TBatchAccount::checkRefused);
    connect(&m_check, &TBatchCheck::Paused, this, [this](const QString& error) {
        m_logger.LogIt(QStringLiteral("The check beside posting waits for the end of the batch: ") +
                       error);
    });
    connect(m_checkClient.get(), &TbcsNNTP::OnLogEvent, this,
            [this](const QString& text) { m_logger.LogIt(text.trimmed()); });
    m_fileAccount = newFile({}, {}, {}, {});
}

TBatchAccount::~TBatchAccount() = default;

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
    const UploadTaskFields::TSubjectParts subject = UploadTaskFields::SubjectParts(task);
    m_nzbName = subject.Subject.trimmed().isEmpty()
                    ? TLocalFile::Shown(QFileInfo(upload.Path).fileName())
                    : subject.Subject;
    m_repostDue = false;
    if (upload.Batch != m_batch) {
        endCheck();
        m_aheadIdentities.clear();
        m_journal.Close();
        m_failures.clear();
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
    m_batchTasks.insert(upload.Path + u'\n' + CommaText::Write(CommaText::Read(m_groups)), task);
    const QString path = JournalPath(m_batch);
    QString error;
    if (!m_journal.IsOpen()) {
        error = TSafeFile::MakeFolder(QFileInfo(path).path());
        if (error.isEmpty())
            m_journal.Open(path, &error);
        if (!error.isEmpty())
            fail(error + "; the batch goes without its journal: it is not checked, no NZB file "
                         "is written, and a stopped upload starts again from its first part");
    }
    beginFile(upload.Path, &task);
}

std::unique_ptr<TFileAccount> TBatchAccount::OpenAhead(const TTask& task)
{
    const TUploadFields<const TTask> upload = UploadFields(task);
    if (m_batch.isEmpty() || upload.Batch != m_batch || !m_journal.IsOpen())
        return nullptr;
    const QStringList groups = CommaText::Read(upload.Groups);
    startFile(upload.Path, groups, &task, true);
    return newFile(upload.Path, upload.Groups, upload.From,
                   m_journal.Content().ArticlesOf(upload.Path, groups));
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
        beginFile(path, nullptr);
}

void TBatchAccount::beginFile(const QString& path, const TTask* task)
{
    const QStringList groups = CommaText::Read(m_groups);
    startFile(path, groups, task);
    m_fileAccount = newFile(path, m_groups, m_poster, m_journal.Content().ArticlesOf(path, groups));
}

std::optional<TFileIdentity> TBatchAccount::identityOf(const QString& path, bool ahead,
                                                       QString* error)
{
    if (const auto known = m_aheadIdentities.constFind(path); known != m_aheadIdentities.cend()) {
        const TFileIdentity identity = *known;
        m_aheadIdentities.erase(known);
        const QFileInfo info(path);
        if (!ahead && info.size() == identity.Size &&
            info.lastModified().toMSecsSinceEpoch() == identity.Modified)
            return identity;
    }
    std::optional<TFileIdentity> identity = TFileIdentity::Of(path, error);
    if (identity && ahead)
        m_aheadIdentities.insert(path, *identity);
    return identity;
}

void TBatchAccount::startFile(const QString& path, const QStringList& groups, const TTask* task,
                              bool ahead)
{
    QString error;
    const std::optional<TFileIdentity> identity = identityOf(path, ahead, &error);
    if (!identity)
        return; // posting the file says why it cannot be read
    const TJournalContent& content = m_journal.Content();
    const std::optional<TJournalFile> before = content.FileOf(path, groups);
    if (before && before->Identity == *identity)
        return;
    if (before && !content.ArticlesOf(path, groups).isEmpty()) {
        const QString text = QStringLiteral("%1 has changed since its upload began: it is posted "
                                            "again from its start under new Message-IDs, and its "
                                            "earlier parts are left out of the NZB file")
                                 .arg(path);
        m_logger.LogIt(QStringLiteral("Warning: ") + text);
        m_view.ShowWarning(text);
    }
    record(TJournalFile{path, groups, *identity, task ? journalTask(*task) : QString()});
}

QString TBatchAccount::journalTask(TTask task)
{
    // The password stays out of the journal: a task posted again from it takes the login of
    // the batch's task at hand.
    UploadFields(task).Login = CommaText::Read(UploadFields(task).Login).value(0);
    return TaskLine::Write(task);
}

std::unique_ptr<TFileAccount> TBatchAccount::newFile(const QString& path, const QString& groups,
                                                     const QString& poster,
                                                     QList<TJournalArticle> known)
{
    auto account = std::make_unique<TFileAccount>(
        path, CommaText::Read(groups), poster, std::move(known), m_state.Settings.MessageIdDomain,
        [this](const TJournalArticle& a) {
            record(a);
            articleRecorded(a);
        });
    account->SetServerOf([this] { return m_client.Server(); });
    return account;
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
    // A task that ended well is in the journal (written, so a kill loses nothing) and goes
    // to disk with the next records; one that stopped goes to disk now.
    QString error;
    if (!(completed ? m_journal.SyncSoon(&error) : m_journal.Sync(&error)))
        fail(error);
    if (completed && !batchLeftBehindHead())
        batchThrough();
}

void TBatchAccount::articleRecorded(const TJournalArticle& article)
{
    if (article.State == TArticleState::Accepted && m_state.Settings.CheckAfterPost &&
        m_journal.IsOpen())
        checkLater(article.MessageId);
}

void TBatchAccount::checkLater(const QString& messageId)
{
    // The check the batch waits for takes no more: a later check asks for it.
    if (m_check.Running() && !m_check.TakesArticles())
        return;
    if (!m_check.TakesArticles())
        openCheck();
    else if (!m_checkSeparate && m_checkClient->Server() != m_client.Server())
        m_checkClient->TakeSetup(m_client); // posting went over to another server
    if (!m_joined.contains(messageId)) {
        m_joined.insert(messageId);
        m_check.Add(messageId);
    }
}

void TBatchAccount::openCheck()
{
    m_joined.clear();
    const TCheckServer server = CheckServer::Of(m_state.Settings, m_session);
    // The posting server is reached as the posting client reaches it (the task's server and
    // login); another server as the profile sets it up.
    m_checkClient->TakeSetup(m_client);
    m_checkSeparate = server.Separate;
    if (server.Separate)
        CheckServer::SetUp(*m_checkClient, server);
    m_check.Open(server.DelaySeconds, server.Rounds);
    m_logger.LogIt(QStringLiteral("Batch %1: each article is checked on %2 %3 s after the server "
                                  "took it")
                       .arg(m_batch, m_checkClient->Server())
                       .arg(server.DelaySeconds));
}

void TBatchAccount::endCheck()
{
    m_check.Stop();
    m_joined.clear();
    m_checkClient->Quit();
}

void TBatchAccount::QueueStopped()
{
    if (!m_check.Running())
        return;
    if (m_check.TakesArticles()) {
        endCheck();
        return;
    }
    // The check the batch waits for ends as a cancel does: the task stays for a later run.
    m_checkStopped = true;
    m_checkClient->Cancel();
    m_checkStopped = false;
}

void TBatchAccount::batchThrough()
{
    m_batchArticles = m_journal.Content().Articles();
    m_checkIds.clear();
    for (const TJournalArticle& a : std::as_const(m_batchArticles))
        if (a.State == TArticleState::Accepted)
            m_checkIds << a.MessageId;
    if (!m_state.Settings.CheckAfterPost || m_checkIds.isEmpty()) {
        endCheck();
        endBatch(m_state.Settings.CheckAfterPost);
        return;
    }
    // Articles taken in an earlier run join now.
    for (const QString& id : std::as_const(m_checkIds))
        checkLater(id);
    m_checkDue = true;
}

bool TBatchAccount::AfterTask()
{
    if (!m_checkDue)
        return false;
    m_checkDue = false;
    m_list.SetRunnerBusy(true);
    m_check.Finish();
    emit CheckStarted();
    return true;
}

void TBatchAccount::checked(const QStringList& found, const QStringList& missing,
                            const QString& error)
{
    if (!error.isEmpty() && !m_checkStopped)
        emit CheckFailed(error, m_checkClient->ReplyCode());
    m_joined.clear();
    m_checkClient->Quit();
    setState(found, TArticleState::Checked);
    setState(missing, TArticleState::Missing);
    QString syncError;
    if (!m_journal.Sync(&syncError))
        fail(syncError);
    if (!error.isEmpty()) {
        // The task stays for a later run to check the rest: until then the NZB file lists
        // what was found, and says it is incomplete.
        m_logger.LogIt(QStringLiteral("The check after posting stopped: ") + error);
        logLastLine();
        writeNzb(true, false);
        closeBatch();
    } else if (!missing.isEmpty() && m_repostRounds < m_state.Settings.CheckRounds &&
               requeue(missing)) {
        ++m_repostRounds;
        m_reposted += int(missing.size());
        m_repostDue = true;
        m_logger.LogIt(QStringLiteral("Batch %1: %2 article(s) missing, posted again under new "
                                      "Message-IDs")
                           .arg(m_batch)
                           .arg(missing.size()));
        m_batchArticles.clear();
    } else {
        endBatch(true);
    }
    m_list.SetRunnerBusy(false);
    emit CheckEnded();
}

void TBatchAccount::checkRefused(const QStringList& found, const QString& text)
{
    m_joined.clear();
    m_checkClient->Quit();
    setState(found, TArticleState::Checked);
    m_view.ShowWarning(text + "\nThe NZB file lists the articles the server accepted.");
    endBatch(false);
    m_list.SetRunnerBusy(false);
    emit CheckEnded();
}

void TBatchAccount::endBatch(bool verified)
{
    logLastLine();
    int missing = 0;
    for (const TJournalArticle& a : std::as_const(m_batchArticles))
        missing += a.State == TArticleState::Missing;
    const QString nzb = writeNzb(verified, missing == 0);
    if (missing > 0)
        m_view.ShowWarning(QStringLiteral("%1 article(s) still missing on the server after the "
                                          "last check: %2. The NZB file lists the others%3.")
                               .arg(missing)
                               .arg(missingText(), nzb.isEmpty() ? QString() : ": " + nzb));
    emit BatchEnded(nzb, missing);
    closeBatch();
}

QString TBatchAccount::missingText() const
{
    QStringList files;
    QHash<QString, QStringList> parts;
    for (const TJournalArticle& a : std::as_const(m_batchArticles)) {
        if (a.State != TArticleState::Missing)
            continue;
        if (!parts.contains(a.File))
            files << a.File;
        parts[a.File] << QString::number(a.Part);
    }
    QStringList text;
    for (const QString& file : std::as_const(files))
        text << QStringLiteral("%1 (part%2 %3)")
                    .arg(file, parts[file].size() > 1 ? "s" : "", parts[file].join(", "));
    return text.join("; ");
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
        const std::optional<TTask> task = batchTask(a.File, a.Groups, head.Login);
        if (!task)
            continue;
        m_list.Insert(at++, *task);
        queued << a.File + '\n' + groups;
        again = true;
    }
    return again;
}

std::optional<TTask> TBatchAccount::batchTask(const QString& file, const QStringList& groups,
                                              const QString& login) const
{
    if (const auto at = m_batchTasks.constFind(file + u'\n' + CommaText::Write(groups));
        at != m_batchTasks.constEnd())
        return *at;
    // Posted by an earlier run: the task as the journal recorded it.
    const std::optional<TJournalFile> recorded = m_journal.Content().FileOf(file, groups);
    QString error;
    std::optional<TTask> task = recorded && !recorded->Task.isEmpty()
                                    ? TaskLine::Read(recorded->Task, &error)
                                    : std::nullopt;
    if (!task || task->Kind != tkUpload)
        return std::nullopt;
    UploadFields(*task).Login = login;
    return task;
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

QString TBatchAccount::writeNzb(bool verified, bool complete)
{
    // An incomplete batch has its file even when none of its articles was found yet: it
    // says where the NZB file comes once they are.
    const QList<TNzbFile> files = nzbFiles(m_batchArticles, verified);
    if (files.isEmpty() && complete)
        return QString();
    QString error;
    const TBatchNzb nzb(
        m_state.DataFile(QStringLiteral("journals/") + m_batch + QStringLiteral(".nzbpath")));
    const QString path = nzb.Write(NzbFolder(), m_nzbName, files, complete, &error);
    if (!error.isEmpty())
        fail(error);
    if (path.isEmpty())
        return path;
    m_logger.LogIt(QStringLiteral("NZB file written: ") + path);
    emit NzbWritten(path);
    return path;
}

template <typename Record> void TBatchAccount::record(const Record& entry)
{
    if (!m_journal.IsOpen())
        return;
    QString error;
    if (!m_journal.Record(entry, &error))
        fail(error);
}

void TBatchAccount::fail(const QString& text)
{
    m_logger.LogIt(QStringLiteral("Error: ") + text);
    if (m_failures.contains(text))
        return; // a full disk fails every record alike
    m_failures << text;
    m_view.ShowError(text);
    emit WriteFailed(text);
}
