#pragma once

#include "groups/NewsrcStore.h"
#include "tasks/Task.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class TWindowView;
class TbcsNNTP;
class TClock;
class TNewsrcStore;
class TSettingsStore;
class TTaskChecks;
class TTaskList;
class TTaskRunner;

// The Groups menu's captions and enabling, computed when the menu opens.
struct TGroupsMenuState
{
    QString NewCaption;
    bool NewEnabled = false;
    QString SubscribeCaption;
    bool SubscribeEnabled = false;
    bool FindEnabled = false;
};

// Fetching groups from the news server: the Groups menu queues a download of the full
// list or a query for the groups created since the last one; the runner starts the task,
// the news client collects the names, and the end of the answer saves them into the
// task's own newsrc file and hands control back to the runner.
class TGroupDownload : public QObject
{
    Q_OBJECT
public:
    TGroupDownload(TNewsrcStore& store, TTaskList& list, TTaskRunner& runner, TbcsNNTP& client,
                   TSettingsStore& settings, const TClock& clock, TTaskChecks& checks,
                   QObject* parent = nullptr);

    // The Groups menu as the window opens it: Subscribe needs a selection in its group pane.
    TGroupsMenuState GroupsMenuClick(const TWindowView& window) const;
    void GroupsDownloadItemClick();
    void GroupsNewItemClick();
    // What the commands do: queue the download of the server's whole group list, or of the
    // groups new since the last one; "new since" needs a complete download's time.
    void QueueDownload();
    void QueueNewGroups();
    // The download a first start's guided setup ends with: the newsrc file holds only the
    // group it was made with, so there is nothing to ask before it is replaced.
    void QueueFirstDownload();
    bool NewSinceKnown() const;

    // Started by the runner for the head task of their kind.
    void DoList(TTask& task);
    void DoNew(TTask& task);

    void NNTPGroupReceived(const QString& group);
    void NNTPGroupsDone();

    // "mm/dd/yy hh:mm:ss" to the server's "yymmdd hhmmss"; empty when the text is not a
    // date in that layout.
    static QString SinceDate(const QString& lastUpdate);
    static QString LastUpdateText(const QDateTime& when);

signals:
    // The received names were saved into a newsrc file: how many, and how many were left
    // out for being too long (the terminal sums this up).
    void GroupsSaved(const TSavedGroups& count);

private:
    bool queueTask(TTaskKind kind, bool askFirst = true);
    void startTask(TTask& task);
    // The settings key of the profile that owns a newsrc file, from its name.
    QString profileKeyOf(const QString& newsrcPath) const;
    void recordLastUpdate(const QString& newsrcPath);

    TNewsrcStore& m_store;
    TTaskList& m_list;
    TTaskRunner& m_runner;
    TbcsNNTP& m_client;
    TSettingsStore& m_settings;
    const TClock& m_clock;
    TTaskChecks& m_checks;
    // The running group task: the runner's list may be cleared while the answer arrives.
    std::optional<TTask> m_running;
};
