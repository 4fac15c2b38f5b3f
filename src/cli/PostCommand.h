#pragma once

#include "base/ProfileSettings.h"

#include <QString>
#include <QStringList>
#include <functional>

class TGroupSelection;
class TTerminalView;
class TUploadTaskBuilder;
struct TAppState;
struct TCliRequest;

// "post": checks the files, groups and options, then queues the upload tasks exactly as
// the window's Post button (or its catalog upload) does: the files stand in the file
// pane's selection, the groups in the group pane's, the options in the profile's settings
// for the moment of queuing. The settings are put back afterwards, so a one-off option
// never changes the profile.
class TPostCommand
{
public:
    TPostCommand(TAppState& state, TTerminalView& view, TUploadTaskBuilder& builder,
                 TGroupSelection& groups);

    // Returns ExitOk once the tasks are queued, else the failure's status (reason shown).
    int Queue(const TCliRequest& request);

private:
    int fail(const QString& text);
    QString checkFiles(const QStringList& files, QStringList* absolute) const;
    QString selectGroups(const QStringList& names, int* list, QList<int>* rows);
    QString applyOptions(const TCliRequest& request);
    QString readIncludeText(const QString& path);
    void queueFiles(const QStringList& files, int list, const QList<int>& rows);
    void restore();

    TAppState& m_state;
    TTerminalView& m_view;
    TUploadTaskBuilder& m_builder;
    TGroupSelection& m_groups;
    ProfileSettings m_saved;
};
