#include "groups/GroupDownload.h"

#include "base/WindowView.h"
#include "base/AppState.h"
#include "base/Clock.h"
#include "base/Logger.h"
#include "base/SettingsStore.h"
#include "base/View.h"
#include "groups/NewsrcStore.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskChecks.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

#include <QFileInfo>
#include <QRegularExpression>

TGroupDownload::TGroupDownload(TNewsrcStore& store, TTaskList& list, TTaskRunner& runner,
                               TbcsNNTP& client, TSettingsStore& settings, const TClock& clock,
                               TTaskChecks& checks, QObject* parent)
    : QObject(parent), m_store(store), m_list(list), m_runner(runner), m_client(client),
      m_settings(settings), m_clock(clock), m_checks(checks)
{
    connect(&m_client, &TbcsNNTP::OnGroupReceived, this, &TGroupDownload::NNTPGroupReceived);
    connect(&m_client, &TbcsNNTP::OnGroupsDone, this, &TGroupDownload::NNTPGroupsDone);
}

TGroupsMenuState TGroupDownload::GroupsMenuClick(const TWindowView& window) const
{
    TGroupsMenuState menu;
    const QString& lastUpdate = m_store.State().Settings.LastUpdate;
    menu.NewEnabled = NewSinceKnown();
    menu.NewCaption =
        menu.NewEnabled ? QStringLiteral("&New since ") + lastUpdate : QStringLiteral("&New");
    menu.SubscribeCaption = m_store.GroupView == TNewsrcStore::ViewSubscribed
                                ? QStringLiteral("&Unsubscribe")
                                : QStringLiteral("&Subscribe");
    menu.SubscribeEnabled = !window.GroupPaneSelectedRows().isEmpty();
    menu.FindEnabled = !m_store.ShownList().empty();
    return menu;
}

bool TGroupDownload::queueTask(TTaskKind kind, bool askFirst)
{
    if (!m_checks.CheckAuth())
        return false;
    if (kind == tkGroupDownload && askFirst &&
        !m_store.View().AskYesNo(
            QStringLiteral("This will completely overwrite your newsrc file. Continue?")))
        return false;
    m_checks.CheckRas();

    const TAppState& state = m_store.State();
    TTask task;
    task.Kind = kind;
    const TGroupTaskFields<TTask> fields = GroupTaskFields(task);
    fields.Server = state.Settings.Host;
    fields.UserName = state.Settings.UserID;
    fields.Password = state.Settings.Password;
    fields.NewsrcPath = state.NewsrcPath;
    if (kind == tkNewGroups)
        fields.Since = state.Settings.LastUpdate;
    fields.LoginRequired = state.Settings.LoginRequired;
    task.Timeout = state.Settings.Timeout;
    task.PostTimeout = state.Settings.PostTimeout;
    m_list.Add(std::move(task));
    if (state.Settings.DisconnectWhenDone)
        m_runner.DisconnectButtonClick();
    return true;
}

void TGroupDownload::GroupsDownloadItemClick()
{
    m_store.State().SetCurrentProcName(QStringLiteral("GroupsDownloadItemClick"));
    QueueDownload();
}

void TGroupDownload::QueueDownload()
{
    queueTask(tkGroupDownload);
}

void TGroupDownload::QueueFirstDownload()
{
    m_store.State().SetCurrentProcName(QStringLiteral("QueueFirstDownload"));
    queueTask(tkGroupDownload, false);
}

void TGroupDownload::QueueNewGroups()
{
    queueTask(tkNewGroups);
}

bool TGroupDownload::NewSinceKnown() const
{
    return m_store.State().Settings.LastUpdate.size() == 17;
}

void TGroupDownload::GroupsNewItemClick()
{
    m_store.State().SetCurrentProcName(QStringLiteral("GroupsNewItemClick"));
    QueueNewGroups();
}

void TGroupDownload::startTask(TTask& task)
{
    m_list.SetRunnerBusy(true);
    m_store.State().Commands.SetActionEnabled(TViewAction::Abort, true);
    m_running = task;
    const TGroupTaskFields<const TTask> fields = GroupTaskFields(std::as_const(task));
    m_runner.ConfigureClient({fields.Server,
                              {fields.LoginRequired, fields.UserName, fields.Password},
                              task.Timeout,
                              task.PostTimeout});
}

void TGroupDownload::DoList(TTask& task)
{
    m_store.State().SetCurrentProcName(QStringLiteral("DoList"));
    startTask(task);
    m_client.ListGroups();
}

void TGroupDownload::DoNew(TTask& task)
{
    m_store.State().SetCurrentProcName(QStringLiteral("DoNew"));
    startTask(task);
    // A since-date that is not a date goes out empty, and the client refuses it with its
    // own error, which ends the batch like any other refusal.
    m_client.NewGroups(SinceDate(GroupTaskFields(task).Since));
}

QString TGroupDownload::SinceDate(const QString& lastUpdate)
{
    static const QRegularExpression layout(
        QStringLiteral("^(\\d\\d)/(\\d\\d)/(\\d\\d) (\\d\\d):(\\d\\d):(\\d\\d)$"));
    const QRegularExpressionMatch m = layout.match(lastUpdate);
    if (!m.hasMatch())
        return QString();
    // Any century will do for checking the day: only the two-digit year is sent.
    const QDate date(2000 + m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return QString();
    return m.captured(3) + m.captured(1) + m.captured(2) + u' ' + m.captured(4) + m.captured(5) +
           m.captured(6);
}

QString TGroupDownload::LastUpdateText(const QDateTime& when)
{
    return when.toString(QStringLiteral("MM/dd/yy HH:mm:ss"));
}

void TGroupDownload::NNTPGroupReceived(const QString& /*group*/)
{
    if (!m_running)
        return;
    const qsizetype n = m_client.Groups().size();
    if (n % 10 == 0)
        m_runner.SetStatus(QStringLiteral("Groups: ") + QString::number(n));
}

QString TGroupDownload::profileKeyOf(const QString& newsrcPath) const
{
    const TAppState& state = m_store.State();
    if (m_store.IsCurrentFile(newsrcPath))
        return state.ProfileKey;
    const QString prefix = QStringLiteral("newsrc.");
    const QString name = QFileInfo(newsrcPath).fileName();
    return name.startsWith(prefix) ? name.mid(prefix.size()) : QString();
}

void TGroupDownload::recordLastUpdate(const QString& newsrcPath)
{
    const QString stamp = LastUpdateText(m_clock.Now());
    // The date belongs to the profile whose file was filled, which is not the current one
    // when the profile changed while the task waited.
    if (m_store.IsCurrentFile(newsrcPath))
        m_store.State().Settings.LastUpdate = stamp;
    const QString key = profileKeyOf(newsrcPath);
    if (key.isEmpty())
        return;
    m_settings.WriteString(key, QStringLiteral("LastUpdate"), stamp);
    const QString error = m_settings.Sync();
    if (!error.isEmpty())
        m_store.ReportFileError(error);
}

void TGroupDownload::NNTPGroupsDone()
{
    if (!m_running)
        return;
    m_store.State().SetCurrentProcName(QStringLiteral("NNTPGroupsDone"));
    const TTask task = std::move(*m_running);
    m_running.reset();
    const QString& newsrc = GroupTaskFields(task).NewsrcPath;

    TSavedGroups saved;
    const bool ok = task.Kind == tkGroupDownload
                        ? m_store.SaveFullList(m_client.Groups(), newsrc, &saved)
                        : m_store.SaveNewGroups(m_client.Groups(), newsrc, &saved);
    m_store.State().Commands.SetActionEnabled(TViewAction::Abort, false);
    if (!ok) {
        // The store has told the user why; keep the batch for a later reload, as after
        // any other failure, and leave LastUpdate alone so nothing is skipped next time.
        m_runner.ClearTaskList(true);
        m_runner.DoNextTask();
        return;
    }
    m_store.Logger().LogIt(QStringLiteral("Groups received: ") + QString::number(saved.Saved));
    emit GroupsSaved(saved);
    const bool current = m_store.IsCurrentFile(newsrc);
    if (current)
        m_store.GroupView = TNewsrcStore::ViewUnsubscribed;
    recordLastUpdate(newsrc);
    m_store.ShowGroups();
    m_runner.SetStatus(QStringLiteral("Online"));
    m_runner.DoNextTask();
}
