#include "upload/UploadTaskBuilder.h"

#include "article/GroupName.h"
#include "base/AppState.h"
#include "base/CommaText.h"
#include "base/Logger.h"
#include "base/View.h"
#include "upload/UploadPoster.h"
#include "groups/GroupListOperations.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

#include <QFileInfo>

TUploadTaskBuilder::TUploadTaskBuilder(TAppState& state, TView& view, TTaskList& list,
                                       TTaskRunner& runner, TGroupListOperations& groups,
                                       TUploadPoster& poster, TLogger& logger)
    : m_state(state), m_view(view), m_list(list), m_runner(runner), m_groups(groups),
      m_poster(poster), m_logger(logger)
{
}

bool TUploadTaskBuilder::checkAuth()
{
    return !m_hooks.CheckAuth || m_hooks.CheckAuth();
}

void TUploadTaskBuilder::checkRas()
{
    if (m_hooks.CheckRas)
        m_hooks.CheckRas();
}

QString TUploadTaskBuilder::folder() const
{
    QString path = m_view.FolderPath();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

void TUploadTaskBuilder::showTaskCount()
{
    m_view.RefreshControls(m_runner.IdleState());
}

void TUploadTaskBuilder::PostButtonClick()
{
    m_state.CurrentProcName = QStringLiteral("PostButtonClick");
    if (!checkAuth())
        return;
    checkRas();
    const ProfileSettings& settings = m_state.Settings;
    if (settings.IncludeText)
        m_poster.DoIncludeText();
    const QString status = m_view.StatusText();
    m_runner.SetStatus(QStringLiteral("Building task list"));
    m_view.SetBusy(true);
    if (settings.CrossPost)
        CrossPost();
    else
        NoCrossPost();
    if (settings.DisconnectWhenDone)
        m_runner.DisconnectButtonClick();
    showTaskCount();
    m_runner.SetStatus(status);
    m_view.SetBusy(false);
}

int TUploadTaskBuilder::BuildFileList(QStringList& list)
{
    const QStringList selected = m_view.SelectedFiles();
    for (const QString& path : selected) {
        const QString name = QFileInfo(path).fileName();
        if (name.isEmpty())
            m_logger.LogIt(QStringLiteral("Error: Short name"));
        else
            list << name;
    }
    m_view.ClearFileSelection();
    return int(list.size());
}

void TUploadTaskBuilder::CrossPost()
{
    m_state.CurrentProcName = QStringLiteral("CrossPost");
    QStringList groups;
    if (m_groups.GetSelectedGroups(groups) == 0)
        return;
    const QString groupsField = CommaText::Write(groups);
    FileNameList.clear();
    BuildFileList(FileNameList);
    m_groups.UpdateGroupCount(qint32(FileNameList.size()));
    const QString dir = folder();
    const QString subject = m_view.SubjectText();
    // The path keeps its case: on this system another case names another file.
    for (const QString& name : FileNameList)
        AddFileTask(dir + name, groupsField, subject);
}

void TUploadTaskBuilder::NoCrossPost()
{
    m_state.CurrentProcName = QStringLiteral("NoCrossPost");
    const QString dir = folder();
    QStringList groups;
    if (m_groups.GetSelectedGroups(groups) == 0)
        return;
    FileNameList.clear();
    BuildFileList(FileNameList);
    m_groups.UpdateGroupCount(qint32(FileNameList.size()));
    const QString subject = m_view.SubjectText();
    for (const QString& group : groups) {
        for (const QString& name : FileNameList)
            AddFileTask(dir + name, group, subject);
    }
}

void TUploadTaskBuilder::AddFileTask(const QString& path, const QString& groups,
                                     const QString& subject)
{
    const ProfileSettings& s = m_state.Settings;
    TTask task;
    task.Kind = tkUpload;
    task.Text1 = path;
    task.Text2 = m_view.FromText();
    task.Text3 = s.ReplyTo;
    task.Text4 = s.Organization;
    task.Text5 = CommaText::Write({s.Template, subject, path});
    task.Text6 = groups;
    task.Text7 = s.SigFile;
    task.Text8 = s.Host;
    task.Text9 = s.UserID + QLatin1Char(',') + s.Password;
    if (s.IncludeText)
        task.Text10 = m_poster.PendingIncludeText;
    task.Timeout = s.Timeout;
    task.PostTimeout = s.PostTimeout;
    task.MaxLines = s.MaxLines;
    task.Flag1 = s.LoginRequired;
    task.Flag2 = false;
    m_list.Add(task);
}

void TUploadTaskBuilder::DoFileUpload()
{
    m_state.CurrentProcName = QStringLiteral("DoFileUpload");
    if (!checkAuth())
        return;
    checkRas();
    const QString catalog =
        m_view.AskOpenFile(QStringLiteral("File Open"), QStringLiteral("BBS Catalog|files.bbs"));
    if (catalog.isEmpty())
        return;
    const ProfileSettings& settings = m_state.Settings;
    if (settings.IncludeText)
        m_poster.DoIncludeText();
    const bool read =
        settings.CrossPost ? DoFileUploadCrossPost(catalog) : DoFileUploadNoCrossPost(catalog);
    if (read && settings.DisconnectWhenDone)
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

bool TUploadTaskBuilder::DoFileUploadCrossPost(const QString& catalogPath)
{
    m_state.CurrentProcName = QStringLiteral("DoFileUploadCrossPost");
    QStringList groups;
    if (m_groups.GetSelectedGroups(groups) == 0)
        return true;
    const QString groupsField = CommaText::Write(groups);
    FileNameList.clear();
    QList<TFilesBbsCatalog::TEntry> entries;
    if (!readCatalog(catalogPath, entries))
        return false;
    for (const TFilesBbsCatalog::TEntry& entry : entries) {
        AddFileTask(entry.File, groupsField, entry.Description);
        FileNameList << entry.File;
    }
    if (!FileNameList.isEmpty()) {
        m_groups.UpdateGroupCount(qint32(FileNameList.size()));
        FileNameList.clear();
    }
    return true;
}

bool TUploadTaskBuilder::DoFileUploadNoCrossPost(const QString& catalogPath)
{
    m_state.CurrentProcName = QStringLiteral("DoFileUploadNoCrossPost");
    FileNameList.clear();
    QStringList groups;
    if (m_groups.GetSelectedGroups(groups) == 0)
        return true;
    QList<TFilesBbsCatalog::TEntry> entries;
    if (!readCatalog(catalogPath, entries))
        return false;
    for (const QString& group : groups) {
        const QString name = GroupName::ToLower(group);
        for (const TFilesBbsCatalog::TEntry& entry : entries)
            AddFileTask(entry.File, name, entry.Description);
    }
    if (!entries.isEmpty())
        m_groups.UpdateGroupCount(qint32(entries.size()));
    return true;
}
