#pragma once

#include "base/TaskRow.h"

#include <QList>
#include <QString>

struct TAppState;
class TMultiPartPoster;
class TTaskFile;
class TTaskList;
class TTaskRunner;

// What the queue panel does to the queue: pause (the queue goes to the task file and sending
// stops; what the server took stays taken), resume or retry the kept tasks, drop or reorder
// the tasks that have not begun. Every refusal comes back as an error text.
class TQueueControl
{
public:
    TQueueControl(TTaskList& list, TTaskFile& file, TTaskRunner& runner,
                  const TMultiPartPoster& multiPart, TAppState& state);

    // The task at index has begun: the head while the queue runs, and the uploads behind it
    // that go ahead over further connections.
    bool Started(int index) const;

    // Empty on success, else why nothing was done.
    QString Pause();
    QString Resume();
    // Resumes with the current profile's server and login in place of those each kept task
    // was made with: the way on after the server settings were corrected.
    QString RetryWithCurrentSettings();
    QString Remove(int index);
    QString Move(int index, int to);

    // The tasks the task file keeps while nothing is queued, as the queue panel lists them;
    // error is set when the file cannot be read.
    QList<TTaskRow> KeptRows(QString* error) const;
    // "3 uploads were not finished", or "" when the file keeps none.
    QString KeptSummary() const;

private:
    QString resume(bool currentSettings);

    TTaskList& m_list;
    TTaskFile& m_file;
    TTaskRunner& m_runner;
    const TMultiPartPoster& m_multiPart;
    TAppState& m_state;
};
