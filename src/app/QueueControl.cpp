#include "app/QueueControl.h"

#include "base/AppState.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"
#include "upload/MultiPartPoster.h"

namespace {

// The profile's server and login, laid over a kept task's.
void UseCurrentServer(TTask& task, const ProfileSettings& s)
{
    switch (task.Kind) {
    case tkUpload: {
        const TUploadFields<TTask> upload = UploadFields(task);
        upload.Server = s.Host;
        upload.Login = s.UserID + QLatin1Char(',') + s.Password;
        upload.LoginRequired = s.LoginRequired;
        break;
    }
    case tkGroupDownload:
    case tkNewGroups: {
        const TGroupTaskFields<TTask> group = GroupTaskFields(task);
        group.Server = s.Host;
        group.UserName = s.UserID;
        group.Password = s.Password;
        group.LoginRequired = s.LoginRequired;
        break;
    }
    case tkDisconnect:
        TargetField(task) = s.Host;
        break;
    default:
        break;
    }
}

} // namespace

TQueueControl::TQueueControl(TTaskList& list, TTaskFile& file, TTaskRunner& runner,
                             const TMultiPartPoster& multiPart, TAppState& state)
    : m_list(list), m_file(file), m_runner(runner), m_multiPart(multiPart), m_state(state)
{
}

bool TQueueControl::Started(int index) const
{
    if (index < 0 || index >= m_list.Count() || !m_list.RunnerBusy() || !m_list.HeadStarted())
        return false;
    // Uploads go ahead in the list's order, right behind the head.
    return index <= m_multiPart.AheadCount();
}

QString TQueueControl::Pause()
{
    if (m_list.IsEmpty())
        return QStringLiteral("Nothing to pause: the queue is empty.");
    m_runner.Abort();
    if (!m_list.IsEmpty())
        return QStringLiteral("The queue could not be kept in the task file %1, so it stays "
                              "in the list (see the session log).")
            .arg(m_file.FileName());
    return {};
}

QString TQueueControl::Resume()
{
    return resume(false);
}

QString TQueueControl::RetryWithCurrentSettings()
{
    return resume(true);
}

QString TQueueControl::resume(bool currentSettings)
{
    if (!m_list.IsEmpty())
        return QStringLiteral("The queue is running; kept tasks are resumed once it is empty.");
    if (!m_file.Exists())
        return QStringLiteral("No task was kept: there is nothing to resume.");
    TTaskFile::TAdjust adjust;
    if (currentSettings)
        adjust = [this](TTask& task) { UseCurrentServer(task, m_state.Settings); };
    // The reader tells the user what was wrong with the file.
    if (!m_file.ReadTasks(adjust))
        return QStringLiteral("The kept tasks could not be read from %1.").arg(m_file.FileName());
    // Resume is a start of its own, whether or not Auto Start is on.
    m_runner.StartTasks();
    return {};
}

QString TQueueControl::Remove(int index)
{
    if (index < 0 || index >= m_list.Count())
        return QStringLiteral("There is no task %1 in the queue.").arg(index + 1);
    if (Started(index))
        return QStringLiteral("Task %1 is being posted; pause the queue to stop it.")
            .arg(index + 1);
    m_list.RemoveAt(index);
    m_file.QueueChanged();
    return {};
}

QString TQueueControl::Move(int index, int to)
{
    if (index < 0 || to < 0 || index >= m_list.Count() || to >= m_list.Count())
        return QStringLiteral("Task %1 cannot move there.").arg(index + 1);
    if (Started(index) || Started(to))
        return QStringLiteral("Only tasks that have not begun can change places.");
    m_list.Move(index, to);
    m_file.QueueChanged();
    return {};
}

QList<TTaskRow> TQueueControl::KeptRows(QString* error) const
{
    QList<TTaskRow> rows;
    if (!m_list.IsEmpty())
        return rows;
    const auto tasks = m_file.SavedTasks(error);
    if (!tasks)
        return rows;
    for (const TTask& task : *tasks)
        rows << task.ViewRow();
    return rows;
}

QString TQueueControl::KeptSummary() const
{
    QString error;
    const auto tasks = m_file.SavedTasks(&error);
    if (!tasks || tasks->isEmpty())
        return {};
    int uploads = 0;
    for (const TTask& task : *tasks)
        uploads += task.Kind == tkUpload ? 1 : 0;
    // The Disconnect or hang-up that ends a batch is no work of its own.
    if (uploads > 0)
        return uploads == 1 ? QStringLiteral("1 upload was not finished")
                            : QStringLiteral("%1 uploads were not finished").arg(uploads);
    return tasks->size() == 1 ? QStringLiteral("1 task was not finished")
                              : QStringLiteral("%1 tasks were not finished").arg(tasks->size());
}
