#pragma once

#include "base/TaskRow.h"

#include <QString>
#include <QStringList>
#include <QList>
#include <optional>

// The controls the program's logic acts on, and the lists the view shows.
enum class TViewAction
{
    Abort,      // toolbar "Abort"
    Disconnect, // toolbar "Disconnect"
    FindAgain,  // Groups > "Find Again"
    TasksClear, // Tasks > "&Clear"
};

// What the idle refresh of the window's commands needs from the core; the view adds its
// own selections (groups, files) and the file list's view style.
struct TIdleState
{
    int TaskCount = 0;
    bool AutoStart = true;
    bool TaskFileExists = false;
    bool Connected = false;
};

// The group search window's two modes: stop at the first match, or select every match.
enum class TFindMode
{
    First,
    All,
};

struct TFindAnswer
{
    QString Text;
    TFindMode Mode = TFindMode::First;
};

struct TLoginAnswer
{
    QString UserName;
    QString Password;
};

// What the core shows or asks of every front end. The main window implements it with
// widgets, the command-line front end with a terminal, and the tests with a scripted fake
// that answers from a queue and records every call. What only the window has is
// TWindowView; what the core merely announces (start-up, the shown group list, the busy
// cursor, the switched commands) are signals of the objects that own it. No logic class
// touches a widget.
class TView
{
public:
    virtual ~TView() = default;

    // Messages and questions.
    virtual void ShowWarning(const QString& text) = 0; // warning box, OK
    // What stopped the work (a refused post, a lost connection); a warning box in the window.
    virtual void ShowError(const QString& text) { ShowWarning(text); }
    virtual bool AskYesNo(const QString& text) = 0; // true on Yes
    virtual std::optional<QString> InputBox(const QString& caption, const QString& prompt,
                                            const QString& initial) = 0;
    // The login dialog ("News server login", "Dial-up login"); nullopt on Cancel.
    virtual std::optional<TLoginAnswer> AskLogin(const QString& caption, const QString& user,
                                                 const QString& password) = 0;
    // The include-text window; nullopt on Cancel, else its lines.
    virtual std::optional<QStringList> AskIncludeText() = 0;
    // The setup dialog for the current profile (a new profile opens it at once).
    virtual void OpenSetup() = 0;

    // Status and progress.
    virtual void SetStatusText(const QString& text) = 0; // the "What's happening" field
    virtual QString StatusText() const = 0;
    virtual void SetProgress(int percent) = 0; // 0..100

    // The From and Subject texts and the folder the files come from: the window's entry
    // fields and folder tree, the terminal's defaults for a post.
    virtual QString FromText() const = 0;
    virtual void SetFromText(const QString& text) = 0;
    virtual QString SubjectText() const = 0;
    virtual void SetSubjectText(const QString& text) = 0;
    virtual QString FolderPath() const = 0;
    virtual void SetFolderPath(const QString& path) = 0;

    // The task view: one top-level node per task, with child lines.
    virtual void TaskViewAdd(const TTaskRow& row) = 0;
    // A node put before the one at index (0: first).
    virtual void TaskViewInsert(int index, const TTaskRow& row) = 0;
    virtual void TaskViewRemoveFirst() = 0;
    virtual void TaskViewClear() = 0;

    // Ends the program after an unexpected error.
    virtual void CloseMainWindow() = 0;
};
