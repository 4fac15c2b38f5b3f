#pragma once

#include "tasks/Task.h"
#include "tasks/TaskList.h"
#include "upload/Par2Maker.h"

#include <QObject>
#include <QString>
#include <QStringList>

struct TAppState;
class TBatchAccount;
class TLogger;
class TTaskRunner;
class TView;

// What the recovery files ask of the upload poster that owns them.
class TRecoveryTarget
{
public:
    virtual ~TRecoveryTarget() = default;
    // Posts one file of the head task: the task itself, or a copy of it naming one of its
    // recovery files.
    virtual void PostTaskFile(const TTask& fileTask) = 0;
    // Ends the head task with a message; the queue is saved.
    virtual void FailTask(const QString& text) = 0;
};

// The PAR2 recovery set of the head upload task (its Recovery field): made into a
// folder of its own under "recovery" in the data folder while the task's file is posted, its
// files posted right after that file (once the set is whole), each as a file of the task (same
// groups, its own name in the subject, its own record in the batch's journal), and removed when the
// task ends, whatever the outcome. A set that was made whole for the same file and setting and is
// still there (the program was stopped short) is posted again rather than made again.
//
// A set that cannot be begun (the file unreadable, no room on the disk) ends the task before
// anything of it is posted; one that fails later ends it after the file, which the journal
// keeps. The making's progress is shown in the status, and once the file is posted as the
// task's progress.
class TRecoveryFiles : public QObject
{
    Q_OBJECT
public:
    TRecoveryFiles(TAppState& state, TTaskList& list, TTaskRunner& runner, TView& view,
                   TLogger& logger, TBatchAccount& account, TRecoveryTarget& target,
                   QObject* parent = nullptr);
    ~TRecoveryFiles() override;

    // The head task starts: its file is posted, its set made meanwhile when it asks for one.
    void Begin(const TTask& task);
    // The task's file or one of its recovery files has been posted whole: whether another
    // recovery file follows (or the set is still being made, or failed), which is then posted
    // from the event loop (once the set is made), or the task failed.
    bool PostNext();
    bool HasNext() const { return m_making || !m_error.isEmpty() || m_next < m_files.size(); }
    // For the reader of the task's file, once while the set is made: its reads feed the
    // making (TPar2Maker::TakeFeed). None for the recovery files or after the first.
    std::shared_ptr<TByteSink> FileSink() { return m_making ? m_maker.TakeFeed() : nullptr; }
    // The task ends or is stopped: the making is stopped if it runs, and the set removed.
    void Stop();

    // The folder a task's set is made in.
    QString FolderFor(const TTask& task) const;

private:
    void made(bool ok, QString error);
    void progress(int percent, const QString& text);
    void postNext();
    bool stillHeadTask() const;
    QString doneMark() const;
    bool reuse();
    void writeDoneMark();

    TAppState& m_state;
    TTaskList& m_list;
    TTaskRunner& m_runner;
    TView& m_view;
    TLogger& m_logger;
    TBatchAccount& m_account;
    TRecoveryTarget& m_target;
    TPar2Maker m_maker;
    TTask m_task; // the head task the set belongs to
    TTaskList::TTaskId m_taskId = 0;
    QString m_folder;       // empty when there is no set
    QString m_setting;      // the task's Recovery field the set was made for
    QStringList m_files;    // the set, index file first
    qsizetype m_next = 0;   // the next of m_files to post
    bool m_making = false;  // the set is being made
    bool m_posting = false; // the file is being posted (or has been)
    bool m_waiting = false; // the file is posted: the set is waited for
    QString m_error;        // the making failed while the file was posted
};
