#pragma once

#include "upload/FilesBbsCatalog.h"
#include "upload/PostRequest.h"

#include <QString>
#include <QStringList>
#include <functional>

struct TAppState;
class TGroupListOperations;
class TLogger;
class TNewsrcStore;
class TTaskChecks;
class TTaskList;
class TTaskRunner;
class TUploadPoster;
class TView;

// Turns the user's choice of files (the file pane's selection, or a "files.bbs" catalog) and
// of groups (the group pane's selection) into upload tasks. Cross-posting makes one task per
// file for all groups at once; otherwise each file gets one task per group. Every task takes
// a copy of the settings it needs at the moment it is queued. The tasks one Post or
// PostCatalog queues make a batch: one journal, one NZB file.
class TUploadTaskBuilder
{
public:
    TUploadTaskBuilder(TAppState& state, TView& view, TTaskList& list, TTaskRunner& runner,
                       TGroupListOperations& groups, TUploadPoster& poster, TLogger& logger,
                       TTaskChecks& checks);

    // Scratch list of the files a build step takes.
    QStringList FileNameList;

    // The window's commands: the request read from its controls (the file pane's
    // selection, the group pane's selection, the From and Subject fields, the folder) and
    // the profile.
    void PostButtonClick();
    void DoFileUpload();
    TPostRequest RequestFromView() const;

    // Queues the request's files for its groups, asking first for what is not known (the
    // login, the include text).
    void Post(const TPostRequest& request);
    // Queues the files a files.bbs catalog lists (the request's, or one the user picks).
    void PostCatalog(const TPostRequest& request);

    // Moves the request's files into list as file names; returns the list's count. The
    // file pane's selection is empty afterwards.
    int BuildFileList(const TPostRequest& request, QStringList& list);
    void CrossPost(const TPostRequest& request);
    void NoCrossPost(const TPostRequest& request);
    void AddFileTask(const TPostRequest& request, const QString& path, const QString& groups,
                     const QString& subject);
    // False when the catalog cannot be read (the user has been told).
    bool DoFileUploadCrossPost(const TPostRequest& request, const QString& catalogPath);
    bool DoFileUploadNoCrossPost(const TPostRequest& request, const QString& catalogPath);

private:
    bool checkAuth();
    void checkRas();
    void showTaskCount();
    bool readCatalog(const QString& path, QList<TFilesBbsCatalog::TEntry>& entries);

    TAppState& m_state;
    TView& m_view;
    TTaskList& m_list;
    TTaskRunner& m_runner;
    TGroupListOperations& m_groups;
    TUploadPoster& m_poster;
    TLogger& m_logger;
    TTaskChecks& m_checks;
    QString m_batch; // the batch the tasks being queued belong to
};
