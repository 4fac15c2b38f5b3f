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

struct TParsedFile
{
    QString ProfileName;
    QList<TTask> Tasks;
};

QString damaged(const QString& fileName, int line, const QString& why)
{
    return QStringLiteral("Line %1 of the task file %2 %3. No task was loaded and the file "
                          "was left as it is.")
        .arg(line)
        .arg(fileName, why);
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

// Checks the whole file before anything is changed; returns nothing and an error text
// when any line is damaged.
std::optional<TParsedFile> parse(const QString& fileName, const QString& text, QString* error)
{
    if (text.isEmpty()) {
        *error = damaged(fileName, 1, QStringLiteral("is missing: the file is empty"));
        return std::nullopt;
    }
    TParsedFile parsed;
    qsizetype rest = -1;
    parsed.ProfileName = firstLine(text, &rest);
    if (const QString problem = ProfileNameProblem(parsed.ProfileName); !problem.isEmpty()) {
        *error = damaged(fileName, 1, QStringLiteral("names no usable profile (%1)").arg(problem));
        return std::nullopt;
    }
    if (rest < 0)
        return parsed;
    TaskLine::TSplitError splitError;
    const auto records = TaskLine::Split(text.mid(rest), 2, &splitError);
    if (!records) {
        *error = damaged(fileName, splitError.Line, splitError.Text);
        return std::nullopt;
    }
    for (const TaskLine::TRecord& record : *records) {
        QString why;
        const auto task = TaskLine::Read(record.Text, &why);
        if (!task) {
            *error = damaged(fileName, record.FirstLine, why);
            return std::nullopt;
        }
        parsed.Tasks.append(*task);
    }
    return parsed;
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
    *text = Utf8OrLatin1(saved.readAll());
    if (!text->isEmpty() && !text->endsWith(QLatin1Char('\n')))
        *text += CrLf;
    return true;
}

QString TTaskFile::listLines(const QString& before) const
{
    // Under another profile's line the tasks are read back for that profile, whose passwords
    // are not ours: they keep their own.
    qsizetype rest = -1;
    const bool ourProfile =
        firstLine(before, &rest).compare(m_state.ProfileName, Qt::CaseInsensitive) == 0;
    const TKeyringPasswords keyring = ourProfile ? m_owner.KeyringPasswords() : TKeyringPasswords();
    QString lines;
    for (int i = 0; i < m_list.Count(); ++i)
        lines +=
            TaskLine::Write(WithoutProfilePassword(m_list.At(i), m_state.Settings, keyring)) + CrLf;
    return lines;
}

bool TTaskFile::SaveTasks()
{
    const QString fileName = FileName();
    // Tasks saved earlier (another profile's, an earlier failure's) stay in the file, with
    // the profile line that heads them; ours go after them. A file that follows the list
    // holds ours already, after those.
    QString text;
    if (m_keptBefore)
        text = *m_keptBefore;
    else if (!readSaved(&text))
        return false;
    const bool appended = !text.trimmed().isEmpty();
    if (!appended)
        text = m_state.ProfileName + CrLf;
    text += listLines(text);

    const QString reason = TSafeFile::Replace(fileName, text.toUtf8(),
                                              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!reason.isEmpty())
        return fail(QStringLiteral("The tasks could not be saved to %1: %2\nThey stay in the task "
                                   "list until they are saved or cleared.")
                        .arg(fileName, reason));
    m_logger.LogIt(QStringLiteral("Info: Tasks saved to ") + fileName);
    if (appended)
        m_logger.LogIt(QStringLiteral("Info: The tasks saved there before were kept"));
    m_list.DialUpQueued = false;
    m_keptBefore.reset();
    return true;
}

void TTaskFile::QueueChanged()
{
    if (!m_keepQueue)
        return;
    if (!m_keptBefore) {
        if (m_list.IsEmpty())
            return;
        QString before;
        if (!readSaved(&before))
            return;
        m_keptBefore = before;
        m_keptText = before;
    }
    QString text = m_keptBefore->trimmed().isEmpty() ? QString() : *m_keptBefore;
    if (!m_list.IsEmpty() && text.isEmpty())
        text = m_state.ProfileName + CrLf;
    text += listLines(text);
    if (writeKept(text) && m_list.IsEmpty())
        m_keptBefore.reset(); // the run is through; the file is what it was
}

bool TTaskFile::writeKept(const QString& text)
{
    if (text == m_keptText)
        return true;
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
    if (!reason.isEmpty())
        return fail(
            QStringLiteral("The running tasks could not be kept in %1: %2").arg(fileName, reason));
    m_keptText = text;
    return true;
}

int TTaskFile::SavedTaskCount() const
{
    QFile file(FileName());
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int lines = 0;
    while (!file.atEnd()) {
        if (!file.readLine().trimmed().isEmpty())
            ++lines;
    }
    return qMax(0, lines - 1); // the first line names the profile
}

std::optional<QList<TTask>> TTaskFile::SavedTasks(QString* error) const
{
    const QString fileName = FileName();
    QFile file(fileName);
    if (!file.exists())
        return QList<TTask>();
    if (!file.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("The task file %1 cannot be read: %2").arg(fileName, file.errorString());
        return std::nullopt;
    }
    const auto parsed = parse(fileName, Utf8OrLatin1(file.readAll()), error);
    if (!parsed)
        return std::nullopt;
    return parsed->Tasks;
}

bool TTaskFile::ReadTasks(const TAdjust& adjust)
{
    const QString fileName = FileName();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("The task file %1 cannot be read: %2")
                        .arg(fileName, file.errorString()));
    // The program writes UTF-8; a file edited elsewhere may be in a one-byte encoding.
    const QString text = Utf8OrLatin1(file.readAll());
    file.close();

    QString error;
    const auto parsed = parse(fileName, text, &error);
    if (!parsed)
        return fail(error);
    // Removed before anything is queued: a file that stayed would queue its tasks twice. A
    // file that follows the list stays: from now on it holds the list.
    if (m_keepQueue) {
        m_keptBefore = QString();
        m_keptText = text;
    } else if (!file.remove())
        return fail(QStringLiteral("The task file %1 cannot be deleted, so its tasks were not "
                                   "loaded: %2")
                        .arg(fileName, file.errorString()));

    if (parsed->ProfileName.compare(m_state.ProfileName, Qt::CaseInsensitive) != 0) {
        m_state.Commands.SetBusy(true);
        m_owner.SwitchProfile(parsed->ProfileName);
        m_state.Commands.SetBusy(false);
    }
    m_owner.CheckRas();
    for (const TTask& task : parsed->Tasks) {
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
    return true;
}
