#pragma once

#include "tasks/EndedTasks.h"
#include "tasks/Task.h"
#include "tasks/TaskLogin.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

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
// can be reloaded later. Line 1 names the profile of the first block of tasks; each further
// line is one task, or "Profile: NAME" where a block of another profile's tasks begins (a
// file of one profile's tasks reads as it always did). Each task runs under the profile of
// its block. A password the keyring holds for the current profile is left out of that
// profile's tasks; any other is held in plain text, so the file is private to its owner.
class TTaskFile
{
public:
    TTaskFile(TAppState& state, TTaskList& list, TLogger& logger, TView& view,
              TTaskFileOwner& owner);

    QString FileName() const;
    bool Exists() const;
    // Whether Reload has tasks to add: the file holds tasks that are not queued already.
    bool CanReload() const;

    // Another program owns the data folder's queue (why, in words): the file is neither read
    // nor written, and nothing may run here.
    void SetReadOnly(const QString& reason) { m_readOnly = reason; }
    const QString& ReadOnlyReason() const { return m_readOnly; }

    // The file's tasks, each naming its profile, read without changing anything; nothing
    // and why ("FILE, line N: ...") when the file cannot be read or is damaged.
    std::optional<QList<TTask>> Peek(QString* error) const;

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
    // While the file follows the list, only the tasks it held before are added: the others
    // are queued already. On an empty list the first block's profile becomes current.
    // Each task may be adjusted as it is queued (the current profile's server and login for a
    // retry), once the file's profile is current.
    using TAdjust = std::function<void(TTask&)>;
    bool ReadTasks(const TAdjust& adjust = {});

private:
    bool fail(const QString& message);
    // The text of the file as it is (its ended tasks left out), to write the list after;
    // false when it cannot be read.
    bool readSaved(QString* text);
    // Writes the file whole (removes it, for an empty text), as the list stands.
    bool writeKept(const QString& text);
    // With KeepQueue: when the only change since the file was written whole is that tasks
    // left the head, records them as ended (TEndedTasks) rather than writing the queue
    // again, so that a task's start and end cost the same however many are queued. True
    // when that is all there was to do.
    bool recordEnded();
    // The file's tasks as its bytes hold them, those recorded as ended left out.
    static std::optional<QList<TTask>> readBytes(const QString& fileName, const QByteArray& bytes,
                                                 QString* error);

    bool m_keepQueue = false;
    // With KeepQueue, once the list is in the file: what the file held before the run.
    std::optional<QString> m_keptBefore;
    // Since the file was last written whole: the list's tasks as it held them, how many
    // tasks stand before them in the file, and how many of them were recorded as ended.
    // Nothing written yet: none.
    std::optional<std::vector<const TTask*>> m_written;
    int m_writtenBefore = 0;
    int m_recordedEnded = 0;
    TEndedTasks m_ended;
    // The list's task lines as they follow the text before them, with a profile line where
    // the profile changes: every task line of the file is written here.
    QString listLines(const QString& before) const;
    // What the file holds besides the list while it follows the list; nothing otherwise.
    bool followsList() const { return m_keepQueue && m_keptBefore.has_value(); }
    void queueRead(const QList<TTask>& tasks, const TAdjust& adjust);

    QString m_readOnly;

    TAppState& m_state;
    TTaskList& m_list;
    TLogger& m_logger;
    TView& m_view;
    TTaskFileOwner& m_owner;
};
