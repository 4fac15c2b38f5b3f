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
class TWindowView;

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
    // the profile. Post clears the file selection it took; Open asks for the catalog after
    // the login and dial-up checks.
    void PostButtonClick(TWindowView& window);
    void DoFileUpload(TWindowView& window);
    TPostRequest RequestFromView(const TWindowView& window) const;
    // Files and folders dropped on the window or added with "Add files…" and "Add folder…":
    // posted as the Post button posts, each folder as one batch named after it (unless a
    // subject is typed) with the files of its subfolders under their paths below it. Returns
    // how many batches were queued; the user is told what could not be.
    int PostDropped(TWindowView& window, const QStringList& paths);

    // Queues the request's files for its groups, asking first for what is not known (the
    // login, the include text). False when it took no files: the login was cancelled or
    // the request names no group.
    bool Post(const TPostRequest& request);
    // Queues the files the request's files.bbs catalog lists.
    void PostCatalog(const TPostRequest& request);

    // Moves the request's files into list as file names; returns the list's count.
    int BuildFileList(const TPostRequest& request, QStringList& list);
    void CrossPost(const TPostRequest& request);
    void NoCrossPost(const TPostRequest& request);
    void AddFileTask(const TPostRequest& request, const QString& path, const QString& groups,
                     const QString& subject);
    // False when the catalog cannot be read (the user has been told).
    bool DoFileUploadCrossPost(const TPostRequest& request, const QString& catalogPath);
    bool DoFileUploadNoCrossPost(const TPostRequest& request, const QString& catalogPath);

private:
    // Tells the user and returns true when the request's From is the built-in example.
    bool refusePlaceholderFrom(const TPostRequest& request);
    bool checkAuth();
    void checkRas();
    // The catalog upload's start (its name, the login and dial-up checks); false when the
    // login was cancelled.
    bool startCatalog();
    void queueCatalog(const TPostRequest& request);
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
