#include "tasks/TaskFile.h"

#include "base/AppState.h"
#include "base/Logger.h"
#include "base/SafeFile.h"
#include "base/TextDecode.h"
#include "base/View.h"
#include "tasks/TaskLine.h"
#include "tasks/TaskList.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString CrLf = QStringLiteral("\r\n");
// Begins a block of tasks of another profile than the block before.
const QString BlockMark = QStringLiteral("Profile: ");

struct TParseError
{
    int Line = 0;
    QString Why;
};

QString damaged(const QString& fileName, const TParseError& error)
{
    return QStringLiteral("Line %1 of the task file %2 %3. No task was loaded and the file "
                          "was left as it is.")
        .arg(error.Line)
        .arg(fileName, error.Why);
}

bool sameProfile(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The profile line and where the task lines begin (-1: the file has no task part).
QString firstLine(const QString& text, qsizetype* rest)
{
    qsizetype end = 0;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
        ++end;
    *rest = -1;
    if (end < text.size())
        *rest =
            end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
    return text.left(end);
}

bool usableProfile(const QString& name, int line, TParseError* error)
{
    const QString problem = ProfileNameProblem(name);
    if (problem.isEmpty())
        return true;
    *error = {line, QStringLiteral("names no usable profile (%1)").arg(problem)};
    return false;
}

// Checks the whole file before anything is changed; returns nothing and where and why when
// any line is damaged. Each task names the profile of its block.
std::optional<QList<TTask>> parse(const QString& text, TParseError* error)
{
    if (text.isEmpty()) {
        *error = {1, QStringLiteral("is missing: the file is empty")};
        return std::nullopt;
    }
    qsizetype rest = -1;
    QString profile = firstLine(text, &rest);
    if (!usableProfile(profile, 1, error))
        return std::nullopt;
    QList<TTask> tasks;
    if (rest < 0)
        return tasks;
    TaskLine::TSplitError splitError;
    const auto records = TaskLine::Split(text.mid(rest), 2, &splitError);
    if (!records) {
        *error = {splitError.Line, splitError.Text};
        return std::nullopt;
    }
    for (const TaskLine::TRecord& record : *records) {
        if (record.Text.startsWith(BlockMark)) {
            profile = record.Text.mid(BlockMark.size());
            if (!usableProfile(profile, record.FirstLine, error))
                return std::nullopt;
            continue;
        }
        QString why;
        auto task = TaskLine::Read(record.Text, &why);
        if (!task) {
            *error = {record.FirstLine, why};
            return std::nullopt;
        }
        task->Profile = profile;
        tasks.append(*task);
    }
    return tasks;
}

// The profile of the last block of a file's text: where tasks written after it belong
// unless they start a block of their own.
QString lastProfile(const QString& text)
{
    qsizetype rest = -1;
    QString profile = firstLine(text, &rest);
    TaskLine::TSplitError ignored;
    const auto records = rest < 0 ? std::nullopt : TaskLine::Split(text.mid(rest), 2, &ignored);
    if (records) {
        for (const TaskLine::TRecord& record : *records)
            if (record.Text.startsWith(BlockMark))
                profile = record.Text.mid(BlockMark.size());
    }
    return profile;
}

// Appends one task's line, after the profile line its block needs: the file's first line
// when nothing stands before it, "Profile: NAME" where the profile changes.
void appendTask(QString& lines, QString& block, bool first, const QString& profile,
                const QString& taskLine)
{
    if (first)
        lines += profile + CrLf;
    else if (!sameProfile(profile, block))
        lines += BlockMark + profile + CrLf;
    block = profile;
    lines += taskLine + CrLf;
}

// Tasks as the file holds them, each as read (passwords included).
QString tasksText(const QList<TTask>& tasks)
{
    QString text;
    QString block;
    for (const TTask& task : tasks)
        appendTask(text, block, text.isEmpty(), task.Profile, TaskLine::Write(task));
    return text;
}

void dropEnded(QList<TTask>& tasks, const QSet<int>& ended)
{
    if (ended.isEmpty())
        return;
    QList<TTask> left;
    for (int i = 0; i < tasks.size(); ++i)
        if (!ended.contains(i))
            left << tasks.at(i);
    tasks = left;
}

int taskCount(const QString& text)
{
    TParseError ignored;
    const auto tasks = text.trimmed().isEmpty() ? std::nullopt : parse(text, &ignored);
    return tasks ? int(tasks->size()) : 0;
}

} // namespace

TTaskFile::TTaskFile(TAppState& state, TTaskList& list, TLogger& logger, TView& view,
                     TTaskFileOwner& owner)
    : m_state(state), m_list(list), m_logger(logger), m_view(view), m_owner(owner)
{
}

QString TTaskFile::FileName() const
{
    return m_state.TaskFilePath();
}

bool TTaskFile::Exists() const
{
    return QFileInfo::exists(FileName());
}

bool TTaskFile::fail(const QString& message)
{
    m_logger.LogIt(QStringLiteral("Error: ") + message);
    m_view.ShowWarning(message);
    return false;
}

bool TTaskFile::readSaved(QString* text)
{
    const QString fileName = FileName();
    text->clear();
    if (!QFileInfo::exists(fileName))
        return true;
    QFile saved(fileName);
    if (!saved.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("The tasks could not be saved to %1: the tasks saved "
                                   "there before cannot be read: %2\nThey stay in the task "
                                   "list until they are saved or cleared.")
                        .arg(fileName, saved.errorString()));
    const QByteArray bytes = saved.readAll();
    *text = Utf8OrLatin1(bytes);
    // Tasks that ended in a run that was cut short are not kept again.
    if (!TEndedTasks::Read(fileName, bytes).isEmpty()) {
        QString ignored;
        if (const auto tasks = readBytes(fileName, bytes, &ignored))
            *text = tasksText(*tasks);
    }
    if (!text->isEmpty() && !text->endsWith(QLatin1Char('\n')))
        *text += CrLf;
    return true;
}

QString TTaskFile::listLines(const QString& before) const
{
    QString lines;
    QString block = before.isEmpty() ? QString() : lastProfile(before);
    // Only the current profile's passwords are the keyring's; another profile's tasks keep
    // their own.
    std::optional<TKeyringPasswords> keyring;
    for (int i = 0; i < m_list.Count(); ++i) {
        const TTask& task = m_list.At(i);
        const QString& profile = task.Profile.isEmpty() ? m_state.ProfileName : task.Profile;
        const bool first = before.isEmpty() && lines.isEmpty();
        if (!sameProfile(profile, m_state.ProfileName)) {
            appendTask(lines, block, first, profile, TaskLine::Write(task));
            continue;
        }
        if (!keyring)
            keyring = m_owner.KeyringPasswords();
        appendTask(lines, block, first, profile,
                   TaskLine::Write(WithoutProfilePassword(task, m_state.Settings, *keyring)));
    }
    return lines;
}

bool TTaskFile::SaveTasks()
{
    const QString fileName = FileName();
    if (!m_readOnly.isEmpty())
        return fail(QStringLiteral("The tasks could not be saved to %1: %2\nThey stay in the task "
                                   "list until they are saved or cleared.")
                        .arg(fileName, m_readOnly));
    // Tasks saved earlier (another profile's, an earlier failure's) stay in the file, each
    // block under the profile line that heads it; ours go after them, under a profile line
    // of their own unless the last block is their profile's. A file that follows the list
    // holds ours already, after those.
    QString text;
    if (m_keptBefore)
        text = *m_keptBefore;
    else if (!readSaved(&text))
        return false;
    const bool appended = !text.trimmed().isEmpty();
    if (!appended)
        text.clear();
    text += listLines(text);
    if (text.isEmpty())
        text = m_state.ProfileName + CrLf;

    const QString reason = TSafeFile::Replace(fileName, text.toUtf8(),
                                              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!reason.isEmpty())
        return fail(QStringLiteral("The tasks could not be saved to %1: %2\nThey stay in the task "
                                   "list until they are saved or cleared.")
                        .arg(fileName, reason));
    m_ended.Rebase(fileName, QByteArray()); // the file holds no ended task now
    m_written.reset();
    m_logger.LogIt(QStringLiteral("Info: Tasks saved to ") + fileName);
    if (appended)
        m_logger.LogIt(QStringLiteral("Info: The tasks saved there before were kept"));
    m_list.DialUpQueued = false;
    m_keptBefore.reset();
    return true;
}

void TTaskFile::QueueChanged()
{
    if (!m_keepQueue || !m_readOnly.isEmpty())
        return;
    if (!m_keptBefore) {
        if (m_list.IsEmpty())
            return;
        QString before;
        if (!readSaved(&before))
            return;
        m_keptBefore = before;
    }
    if (recordEnded())
        return;
    QString text = m_keptBefore->trimmed().isEmpty() ? QString() : *m_keptBefore;
    text += listLines(text);
    if (writeKept(text) && m_list.IsEmpty())
        m_keptBefore.reset(); // the run is through; the file is what it was
}

bool TTaskFile::writeKept(const QString& text)
{
    const QString fileName = FileName();
    QString reason;
    if (text.isEmpty()) {
        QFile file(fileName);
        if (file.exists() && !file.remove())
            reason = file.errorString();
    } else {
        reason = TSafeFile::Replace(fileName, text.toUtf8(),
                                    QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    if (!reason.isEmpty()) {
        m_written.reset();
        return fail(
            QStringLiteral("The running tasks could not be kept in %1: %2").arg(fileName, reason));
    }
    // Records of tasks ended refer to the file as written now.
    if (const QString stale = m_ended.Rebase(fileName, text.toUtf8()); !stale.isEmpty())
        m_logger.LogIt(QStringLiteral("Warning: the record of ended tasks beside %1 could not be "
                                      "removed: %2")
                           .arg(fileName, stale));
    std::vector<const TTask*> written;
    written.reserve(size_t(m_list.Count()));
    for (int i = 0; i < m_list.Count(); ++i)
        written.push_back(&m_list.At(i));
    m_written = std::move(written);
    m_writtenBefore = taskCount(m_keptBefore.value_or(QString()));
    m_recordedEnded = 0;
    return true;
}

bool TTaskFile::recordEnded()
{
    if (!m_written || m_list.IsEmpty())
        return false;
    const std::vector<const TTask*>& written = *m_written;
    const int ended = int(written.size()) - m_list.Count();
    // Written whole again once the file would hold more ended tasks than queued ones, so
    // that it never grows far beyond the queue.
    if (ended < m_recordedEnded || (ended > 64 && ended > m_list.Count()))
        return false;
    // Tasks are the same task by identity, not by value.
    for (int i = 0; i < m_list.Count(); ++i)
        if (&m_list.At(i) != written[size_t(ended + i)])
            return false;
    for (; m_recordedEnded < ended; ++m_recordedEnded) {
        const QString error = m_ended.Record(FileName(), m_writtenBefore + m_recordedEnded);
        if (!error.isEmpty()) {
            m_logger.LogIt(QStringLiteral("Warning: an ended task could not be recorded beside "
                                          "%1 (%2); the file is written whole instead")
                               .arg(FileName(), error));
            return false;
        }
    }
    return true;
}

int TTaskFile::SavedTaskCount() const
{
    QFile file(FileName());
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray bytes = file.readAll();
    int lines = 0;
    for (const QByteArray& line : bytes.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(BlockMark.toUtf8()))
            ++lines;
    }
    // The first line names the profile; tasks that ended in a run cut short are gone.
    return qMax(0, lines - 1 - int(TEndedTasks::Read(file.fileName(), bytes).size()));
}

bool TTaskFile::CanReload() const
{
    if (!m_readOnly.isEmpty() || !Exists())
        return false;
    return !followsList() || !m_keptBefore->trimmed().isEmpty();
}

std::optional<QList<TTask>> TTaskFile::Peek(QString* error) const
{
    QFile file(FileName());
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString());
        return std::nullopt;
    }
    return readBytes(file.fileName(), file.readAll(), error);
}

std::optional<QList<TTask>> TTaskFile::readBytes(const QString& fileName, const QByteArray& bytes,
                                                 QString* error)
{
    TParseError parseError;
    auto tasks = parse(Utf8OrLatin1(bytes), &parseError);
    if (!tasks) {
        *error = QStringLiteral("%1, line %2: %3")
                     .arg(fileName, QString::number(parseError.Line), parseError.Why);
        return tasks;
    }
    dropEnded(*tasks, TEndedTasks::Read(fileName, bytes));
    return tasks;
}

std::optional<QList<TTask>> TTaskFile::SavedTasks(QString* error) const
{
    if (!QFile::exists(FileName()))
        return QList<TTask>();
    return Peek(error);
}

bool TTaskFile::ReadTasks(const TAdjust& adjust)
{
    const QString fileName = FileName();
    if (!m_readOnly.isEmpty())
        return fail(QStringLiteral("The task file %1 was not read: %2").arg(fileName, m_readOnly));
    // While the file follows the list it holds the list's tasks too: only those it held
    // before are new to the list.
    const bool following = followsList();
    QString text;
    QByteArray bytes;
    if (following) {
        text = *m_keptBefore;
        if (text.trimmed().isEmpty())
            return fail(QStringLiteral("The task file %1 holds no task that is not queued "
                                       "already.")
                            .arg(fileName));
    } else {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("The task file %1 cannot be read: %2")
                            .arg(fileName, file.errorString()));
        // The program writes UTF-8; a file edited elsewhere may be in a one-byte encoding.
        bytes = file.readAll();
        text = Utf8OrLatin1(bytes);
    }

    TParseError error;
    auto tasks = parse(text, &error);
    if (!tasks)
        return fail(damaged(fileName, error));
    // Tasks that ended in a run that was cut short do not run again.
    if (!following)
        dropEnded(*tasks, TEndedTasks::Read(fileName, bytes));
    // Removed before anything is queued: a file that stayed would queue its tasks twice. A
    // file that follows the list stays: from now on it holds the list.
    if (m_keepQueue) {
        m_keptBefore = QString();
        m_written.reset(); // written whole at the next change
    } else if (QFile file(fileName); !file.remove()) {
        return fail(QStringLiteral("The task file %1 cannot be deleted, so its tasks were not "
                                   "loaded: %2")
                        .arg(fileName, file.errorString()));
    } else {
        m_ended.Rebase(fileName, QByteArray());
    }

    qsizetype rest = -1;
    const QString firstProfile = tasks->isEmpty() ? firstLine(text, &rest) : tasks->first().Profile;
    // A running queue keeps the profile it runs under; each task switches to its own as it
    // starts.
    if (m_list.IsEmpty() && !sameProfile(firstProfile, m_state.ProfileName)) {
        m_state.Commands.SetBusy(true);
        m_owner.SwitchProfile(firstProfile);
        m_state.Commands.SetBusy(false);
    }
    queueRead(*tasks, adjust);
    if (following)
        QueueChanged();
    return true;
}

void TTaskFile::queueRead(const QList<TTask>& tasks, const TAdjust& adjust)
{
    m_owner.CheckRas();
    for (const TTask& task : tasks) {
        // The current settings' dial-up task, queued by CheckRas, takes a saved one's place.
        if (task.Kind == tkDialUp)
            continue;
        if (adjust) {
            TTask adjusted = task;
            adjust(adjusted);
            m_list.Add(adjusted);
        } else
            m_list.Add(task);
        if (task.Kind == tkHangup)
            m_list.DialUpQueued = false;
    }
}
