#include "upload/UploadTaskBuilder.h"

#include "base/WindowView.h"
#include "article/GroupName.h"
#include "base/AppState.h"
#include "base/CommaText.h"
#include "base/Logger.h"
#include "base/View.h"
#include "codec/LocalFile.h"
#include "upload/BatchAccount.h"
#include "upload/DroppedFiles.h"
#include "upload/UploadPoster.h"
#include "groups/GroupListOperations.h"
#include "tasks/TaskChecks.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

#include <QDir>
#include <QFileInfo>

TUploadTaskBuilder::TUploadTaskBuilder(TAppState& state, TView& view, TTaskList& list,
                                       TTaskRunner& runner, TGroupListOperations& groups,
                                       TUploadPoster& poster, TLogger& logger, TTaskChecks& checks)
    : m_state(state), m_view(view), m_list(list), m_runner(runner), m_groups(groups),
      m_poster(poster), m_logger(logger), m_checks(checks)
{
    // A post counts in its groups once the server has taken it, not when it is queued.
    QObject::connect(&poster, &TUploadPoster::UploadAccepted, &poster,
                     [&groups](const QStringList& names) { groups.CountPost(names); });
}

bool TUploadTaskBuilder::checkAuth()
{
    return m_checks.CheckAuth();
}

void TUploadTaskBuilder::checkRas()
{
    m_checks.CheckRas();
}

void TUploadTaskBuilder::showTaskCount()
{
    m_runner.ShowIdleState();
}

bool TUploadTaskBuilder::refusePlaceholderFrom(const TPostRequest& request)
{
    if (!request.HasPlaceholderFrom())
        return false;
    m_view.ShowError(
        request.From.contains(u'@')
            ? QStringLiteral("The From address %1 is only an example. Enter your own "
                             "e-mail address in Setup (User page) before posting.")
                  .arg(ProfileSettings().EmailAddress)
            : QStringLiteral("There is no e-mail address to post from. Enter yours in Setup "
                             "(User page) before posting."));
    return true;
}

void TUploadTaskBuilder::PostButtonClick(TWindowView& window)
{
    TPostRequest request = RequestFromView(window);
    if (refusePlaceholderFrom(request))
        return;
    // An empty subject field is asked for, not posted as nothing.
    if (request.Subject.trimmed().isEmpty()) {
        const std::optional<QString> subject =
            m_view.InputBox(QStringLiteral("Post"), QStringLiteral("Subject of the post:"), {});
        if (!subject || subject->trimmed().isEmpty())
            return;
        request.Subject = subject->trimmed();
        m_view.SetSubjectText(request.Subject);
    }
    // The files taken leave the file pane's selection.
    if (Post(request))
        window.ClearFileSelection();
}

void TUploadTaskBuilder::DoFileUpload(TWindowView& window)
{
    TPostRequest request = RequestFromView(window);
    if (refusePlaceholderFrom(request))
        return;
    if (!startCatalog())
        return;
    request.Catalog =
        window.AskOpenFile(QStringLiteral("File Open"), QStringLiteral("BBS Catalog|files.bbs"));
    queueCatalog(request);
}

int TUploadTaskBuilder::PostDropped(TWindowView& window, const QStringList& paths)
{
    const TDroppedFiles dropped = CollectDropped(paths);
    for (const QString& error : dropped.Errors)
        m_logger.LogIt(QStringLiteral("Error: ") + error);
    const TPostRequest base = RequestFromView(window);
    int queued = 0;
    if (dropped.Batches.isEmpty()) {
        // Only errors: they are shown below.
    } else if (base.Groups.isEmpty()) {
        m_view.ShowWarning(QStringLiteral("Choose the group(s) to post to in the group pane, "
                                          "then drop or add the files again: nothing was "
                                          "queued."));
        return 0;
    } else if (refusePlaceholderFrom(base)) {
        return 0;
    }
    for (const TDroppedBatch& batch : dropped.Batches) {
        TPostRequest request = base;
        request.Folder = batch.Folder;
        request.Files = batch.Files;
        if (request.Subject.trimmed().isEmpty())
            request.Subject = batch.Name;
        if (request.Subject.trimmed().isEmpty()) {
            const std::optional<QString> subject =
                m_view.InputBox(QStringLiteral("Post"),
                                QStringLiteral("Subject of the post of %1 file(s) from %2:")
                                    .arg(batch.Files.size())
                                    .arg(batch.Folder),
                                {});
            if (!subject || subject->trimmed().isEmpty())
                continue;
            request.Subject = subject->trimmed();
        }
        if (Post(request))
            ++queued;
    }
    if (!dropped.Errors.isEmpty())
        m_view.ShowWarning(QStringLiteral("These could not be posted:\n") +
                           dropped.Errors.join(u'\n'));
    return queued;
}

TPostRequest TUploadTaskBuilder::RequestFromView(const TWindowView& window) const
{
    TPostRequest request = TPostRequest::FromSettings(m_state.Settings);
    request.Folder = m_view.FolderPath();
    // The file list shows names as Qt decodes them; one that is not UTF-8 is found by its bytes.
    for (const QString& file : window.SelectedFiles())
        request.Files << TLocalFile::FromShown(file);
    m_groups.GetSelectedGroups(window.GroupPaneSelectedRows(), request.Groups);
    request.From = m_view.FromText();
    request.Subject = m_view.SubjectText();
    return request;
}

bool TUploadTaskBuilder::Post(const TPostRequest& request)
{
    m_state.SetCurrentProcName(QStringLiteral("PostButtonClick"));
    if (const QString error = request.SubjectError(); !error.isEmpty()) {
        m_view.ShowError(QStringLiteral("Cannot post: ") + error);
        return false;
    }
    if (!checkAuth())
        return false;
    checkRas();
    if (request.IncludeText)
        m_poster.DoIncludeText(request.IncludeLines);
    const QString status = m_view.StatusText();
    m_runner.SetStatus(QStringLiteral("Building task list"));
    m_state.Commands.SetBusy(true);
    m_batch = TBatchAccount::NewBatchId();
    if (request.CrossPost)
        CrossPost(request);
    else
        NoCrossPost(request);
    if (request.DisconnectWhenDone)
        m_runner.DisconnectButtonClick();
    showTaskCount();
    m_runner.SetStatus(status);
    m_state.Commands.SetBusy(false);
    return !request.Groups.isEmpty();
}

namespace {
QString folderOf(const TPostRequest& request);
} // namespace

int TUploadTaskBuilder::BuildFileList(const TPostRequest& request, QStringList& list)
{
    const QString folder = folderOf(request);
    for (const QString& path : request.Files) {
        // A file in a subfolder keeps its path below the folder posted.
        const QString below =
            QDir::cleanPath(path.startsWith(folder) ? path.mid(folder.size()) : path);
        const bool inSubfolder = QDir::isRelativePath(below) && below.contains(u'/') &&
                                 !below.startsWith(QStringLiteral("../")) &&
                                 QFileInfo(folder + below).isFile();
        const QString name = inSubfolder ? below : QFileInfo(path).fileName();
        if (name.isEmpty())
            m_logger.LogIt(QStringLiteral("Error: Short name"));
        else
            list << name;
    }
    return int(list.size());
}

namespace {

QString folderOf(const TPostRequest& request)
{
    QString path = request.Folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

} // namespace

void TUploadTaskBuilder::CrossPost(const TPostRequest& request)
{
    m_state.SetCurrentProcName(QStringLiteral("CrossPost"));
    if (request.Groups.isEmpty())
        return;
    const QString groupsField = CommaText::Write(request.Groups);
    FileNameList.clear();
    BuildFileList(request, FileNameList);
    const QString dir = folderOf(request);
    // The path keeps its case: on this system another case names another file.
    for (const QString& name : FileNameList)
        AddFileTask(request, dir + name, groupsField, request.Subject);
}

void TUploadTaskBuilder::NoCrossPost(const TPostRequest& request)
{
    m_state.SetCurrentProcName(QStringLiteral("NoCrossPost"));
    const QString dir = folderOf(request);
    if (request.Groups.isEmpty())
        return;
    FileNameList.clear();
    BuildFileList(request, FileNameList);
    for (const QString& group : request.Groups) {
        for (const QString& name : FileNameList)
            AddFileTask(request, dir + name, group, request.Subject);
    }
}

void TUploadTaskBuilder::AddFileTask(const TPostRequest& request, const QString& path,
                                     const QString& groups, const QString& subject)
{
    const ProfileSettings& s = m_state.Settings;
    TTask task;
    task.Kind = tkUpload;
    const TUploadFields<TTask> upload = UploadFields(task);
    upload.Path = path;
    upload.From = request.From;
    upload.ReplyTo = s.ReplyTo;
    upload.Organization = s.Organization;
    const QString folder = folderOf(request);
    // Only a file the request named by its path below the folder (a folder posted whole).
    const QString below = path.startsWith(folder) ? path.mid(folder.size()) : QString();
    upload.SubjectParts = below.contains(u'/') && request.Files.contains(below)
                              ? CommaText::Write({request.Template, subject, path, below})
                              : CommaText::Write({request.Template, subject, path});
    upload.Groups = groups;
    upload.SignatureFile = request.SigFile;
    upload.Server = request.Host;
    upload.Login = s.UserID + QLatin1Char(',') + s.Password;
    if (request.IncludeText)
        upload.IncludeText = m_poster.PendingIncludeText;
    task.Timeout = request.Timeout;
    task.PostTimeout = request.PostTimeout;
    task.MaxLines = request.MaxLines;
    upload.LoginRequired = s.LoginRequired;
    upload.YEnc = request.Encoding == TBodyEncoding::YEnc;
    upload.Batch = m_batch;
    upload.Recovery = request.Recovery.Write();
    m_list.Add(task);
}

void TUploadTaskBuilder::PostCatalog(const TPostRequest& request)
{
    if (startCatalog())
        queueCatalog(request);
}

bool TUploadTaskBuilder::startCatalog()
{
    m_state.SetCurrentProcName(QStringLiteral("DoFileUpload"));
    if (!checkAuth())
        return false;
    checkRas();
    return true;
}

void TUploadTaskBuilder::queueCatalog(const TPostRequest& request)
{
    const QString& catalog = request.Catalog;
    if (catalog.isEmpty())
        return;
    if (request.IncludeText)
        m_poster.DoIncludeText(request.IncludeLines);
    m_batch = TBatchAccount::NewBatchId();
    const bool read = request.CrossPost ? DoFileUploadCrossPost(request, catalog)
                                        : DoFileUploadNoCrossPost(request, catalog);
    if (read && request.DisconnectWhenDone)
        m_runner.DisconnectButtonClick();
    showTaskCount();
}

bool TUploadTaskBuilder::readCatalog(const QString& path, QList<TFilesBbsCatalog::TEntry>& entries)
{
    QString error;
    if (TFilesBbsCatalog::Read(path, entries, &error))
        return true;
    // Nothing was queued; the user can fix the catalog and open it again.
    m_logger.LogIt(QStringLiteral("Error: ") + error);
    m_view.ShowWarning(error);
    return false;
}

bool TUploadTaskBuilder::DoFileUploadCrossPost(const TPostRequest& request,
                                               const QString& catalogPath)
{
    m_state.SetCurrentProcName(QStringLiteral("DoFileUploadCrossPost"));
    if (request.Groups.isEmpty())
        return true;
    const QString groupsField = CommaText::Write(request.Groups);
    FileNameList.clear();
    QList<TFilesBbsCatalog::TEntry> entries;
    if (!readCatalog(catalogPath, entries))
        return false;
    for (const TFilesBbsCatalog::TEntry& entry : entries) {
        AddFileTask(request, entry.File, groupsField, entry.Description);
        FileNameList << entry.File;
    }
    if (!FileNameList.isEmpty()) {
        FileNameList.clear();
    }
    return true;
}

bool TUploadTaskBuilder::DoFileUploadNoCrossPost(const TPostRequest& request,
                                                 const QString& catalogPath)
{
    m_state.SetCurrentProcName(QStringLiteral("DoFileUploadNoCrossPost"));
    FileNameList.clear();
    if (request.Groups.isEmpty())
        return true;
    QList<TFilesBbsCatalog::TEntry> entries;
    if (!readCatalog(catalogPath, entries))
        return false;
    for (const QString& group : request.Groups) {
        const QString name = GroupName::ToLower(group);
        for (const TFilesBbsCatalog::TEntry& entry : entries)
            AddFileTask(request, entry.File, name, entry.Description);
    }
    return true;
}
