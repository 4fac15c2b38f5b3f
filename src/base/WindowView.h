#pragma once

#include "base/View.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What only the window has: its file and group selections and the dialogs of its own
// commands. The core's handlers of the window's commands (Post, Find, Import, ...) take it
// as an argument; the terminal, which names its files and groups, never calls them.
class TWindowView
{
public:
    virtual ~TWindowView() = default;

    // The file pane: selected files, top to bottom, with full paths.
    virtual QStringList SelectedFiles() const = 0;
    virtual void ClearFileSelection() = 0;

    // The group pane's selection over the shown group list.
    virtual QList<int> GroupPaneSelectedRows() const = 0; // ascending
    virtual void GroupPaneSelectRows(const QList<int>& rows, bool clearOthers) = 0;
    virtual void GroupPaneMakeVisible(int row) = 0; // scrolls until the row shows whole

    // A file-open dialog with the given caption and filter ("Name|*.ext"); empty on Cancel.
    // An empty caption and filter keep the ones the dialog last had.
    virtual QString AskOpenFile(const QString& caption, const QString& filter) = 0;
    // The "Find Group" window, shown modally with the last search text and mode; nullopt
    // unless closed with OK.
    virtual std::optional<TFindAnswer> AskFindGroup(const QString& text, TFindMode mode) = 0;
    virtual void ShowTaskWindow() = 0; // the task list window
};
