#pragma once

#include "upload/FilesBbsCatalog.h"

#include <QString>
#include <QStringList>
#include <functional>

struct TAppState;
class TGroupListOperations;
class TLogger;
class TTaskList;
class TTaskRunner;
class TUploadPoster;
class TView;

// Turns the user's choice of files (the file pane's selection, or a "files.bbs" catalog) and
// of groups (the group pane's selection) into upload tasks. Cross-posting makes one task per
// file for all groups at once; otherwise each file gets one task per group. Every task takes
// a copy of the settings it needs at the moment it is queued.
class TUploadTaskBuilder
{
public:
    struct THooks
    {
        // Asks for the news server login when one is needed and not known; false on Cancel.
        std::function<bool()> CheckAuth;
        // Queues a dial-up task first when the profile dials before its work.
        std::function<void()> CheckRas;
    };

    TUploadTaskBuilder(TAppState& state, TView& view, TTaskList& list, TTaskRunner& runner,
                       TGroupListOperations& groups, TUploadPoster& poster, TLogger& logger);

    void SetHooks(THooks hooks) { m_hooks = std::move(hooks); }

    // Scratch list of the files a build step takes.
    QStringList FileNameList;

    void PostButtonClick();
    void DoFileUpload();

    // Moves the file pane's selection, top to bottom, into list as file names; returns the
    // list's count. The pane's selection is empty afterwards.
    int BuildFileList(QStringList& list);
    void CrossPost();
    void NoCrossPost();
    void AddFileTask(const QString& path, const QString& groups, const QString& subject);
    // False when the catalog cannot be read (the user has been told).
    bool DoFileUploadCrossPost(const QString& catalogPath);
    bool DoFileUploadNoCrossPost(const QString& catalogPath);

private:
    bool checkAuth();
    void checkRas();
    QString folder() const;
    void showTaskCount();
    bool readCatalog(const QString& path, QList<TFilesBbsCatalog::TEntry>& entries);

    TAppState& m_state;
    TView& m_view;
    TTaskList& m_list;
    TTaskRunner& m_runner;
    TGroupListOperations& m_groups;
    TUploadPoster& m_poster;
    TLogger& m_logger;
    THooks m_hooks;
};
