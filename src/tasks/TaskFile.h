#pragma once

#include "tasks/Task.h"
#include "tasks/TaskLogin.h"

#include <QList>
#include <functional>

#include <QString>

#include <optional>

struct TAppState;
class TLogger;
class TTaskList;
class TView;

// What reading the task file asks of the rest of the program; the application object answers.
class TTaskFileOwner
{
public:
    virtual ~TTaskFileOwner() = default;

    // Makes the named profile current (settings, groups, window) without storing the
    // settings of the profile being left.
    virtual void SwitchProfile(const QString& profileName) = 0;
    // Queues a fresh dial-up task when the current profile dials before its work.
    virtual void CheckRas() = 0;
    // The current profile's passwords that the desktop's keyring holds: the file leaves them
    // out of the profile's tasks.
    virtual TKeyringPasswords KeyringPasswords() const = 0;
};

// The task file "qvtasks.qv": the pending tasks kept when a run is cut short, so that they
// can be reloaded later. Line 1 names the profile that wrote it; each further line is one
// task. A password the keyring holds for that profile is left out; any other is held in
// plain text, so the file is private to its owner.
class TTaskFile
{
public:
    TTaskFile(TAppState& state, TTaskList& list, TLogger& logger, TView& view,
              TTaskFileOwner& owner);

    QString FileName() const;
    bool Exists() const;

    // How many tasks the file holds; 0 when there is none.
    int SavedTaskCount() const;
    // The tasks the file holds, read without queueing them; nothing and the reason when the
    // file cannot be read or a line is damaged. An absent file holds no task.
    std::optional<QList<TTask>> SavedTasks(QString* error) const;

    // Writes the whole list after the tasks the file holds already (those are never
    // dropped), replacing the file only once the new one is complete, and
    // clears DialUpQueued. A failure is logged and shown and returns false: the caller
    // then keeps the tasks, which exist nowhere else.
    bool SaveTasks();

    // While tasks run, the file follows the list at every change (KeepQueue, for the
    // terminal): it holds the tasks it held before the run and the list as it stands, so
    // that a crash or a kill loses no task; it goes back to what it was once the list is
    // through. Reading the file then leaves it in place: its tasks are the list's.
    void KeepQueue(bool keep) { m_keepQueue = keep; }
    // A task starts or has left the list: with KeepQueue, the file follows.
    void QueueChanged();

    // Appends the file's tasks to the list and deletes the file (keeps it, with KeepQueue). A file
    // with any damaged line changes nothing: no task is queued, no profile switched, the file
    // stays, and the user is told which line is bad. Returns true when the tasks were loaded.
    // Each task may be adjusted as it is queued (the current profile's server and login for a
    // retry), once the file's profile is current.
    using TAdjust = std::function<void(TTask&)>;
    bool ReadTasks(const TAdjust& adjust = {});

private:
    bool fail(const QString& message);
    // The text of the file as it is, to write the list after; false when it cannot be read.
    bool readSaved(QString* text);
    bool writeKept(const QString& text);

    bool m_keepQueue = false;
    // With KeepQueue, once the list is in the file: what the file held before the run, and
    // what was last written.
    std::optional<QString> m_keptBefore;
    QString m_keptText;
    // The list's task lines as they follow the text before them (which starts with the
    // profile line): every task line of the file is written here.
    QString listLines(const QString& before) const;

    TAppState& m_state;
    TTaskList& m_list;
    TLogger& m_logger;
    TView& m_view;
    TTaskFileOwner& m_owner;
};
