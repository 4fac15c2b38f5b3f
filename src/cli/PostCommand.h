#pragma once

#include "base/ProfileSettings.h"
#include "cli/ExitStatus.h"
#include "upload/PostRequest.h"

#include <QString>
#include <QStringList>
#include <functional>

class TGroupSelection;
class TTerminalView;
class TUploadTaskBuilder;
struct TAppState;
struct TCliRequest;

// "post": checks the files, groups and options, then queues the upload tasks through the
// same operation as the window's Post button (or its catalog upload), with a request built
// from the arguments. The options go into the request, so a one-off option never changes
// the profile; the connection's options (--user, --tls, ...) are the session's
// (ReadConnectionOptions).
class TPostCommand
{
public:
    TPostCommand(TAppState& state, TTerminalView& view, TUploadTaskBuilder& builder,
                 TGroupSelection& groups);

    // Returns ExitOk once the tasks are queued, else the failure's status (reason shown).
    int Queue(const TCliRequest& request);

private:
    int fail(const QString& text, int status = ExitFailed);
    // What the command line itself gets wrong; the option values go into s.
    QString usageError(const TCliRequest& request, ProfileSettings& s) const;
    QString checkFiles(const QStringList& files, QStringList* absolute) const;
    QString locateGroups(const QStringList& names, TPostRequest& post) const;
    QString applyOptions(const TCliRequest& request, ProfileSettings s, TPostRequest& post);
    QString readIncludeText(const QString& path, std::optional<QStringList>& lines) const;
    void queueFiles(const QStringList& files, const TPostRequest& post);

    TAppState& m_state;
    TTerminalView& m_view;
    TUploadTaskBuilder& m_builder;
    TGroupSelection& m_groups;
};
