#include "cli/TaskCommands.h"

#include "cli/CliRequest.h"
#include "cli/ExitStatus.h"
#include "cli/Terminal.h"
#include "cli/TerminalView.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskMenu.h"

TTaskCommands::TTaskCommands(TTaskFile& file, TTerminalView& view, const TTerminal& terminal)
    : m_file(file), m_view(view), m_terminal(terminal)
{
}

int TTaskCommands::fail(const QString& text)
{
    m_view.Note(QStringLiteral("quorvel-cli: ") + text);
    return ExitFailed;
}

int TTaskCommands::Run(const TCliRequest& request)
{
    const QString sub = request.Command.section(u' ', 1);
    if (sub == QLatin1String("show"))
        return show();
    if (sub == QLatin1String("run"))
        return reload();
    return fail(QStringLiteral("unknown tasks command '%1'").arg(sub));
}

int TTaskCommands::show()
{
    // Read here without queuing anything: reloading would consume the file.
    if (!m_file.Exists()) {
        m_view.Note(
            QStringLiteral("No tasks are waiting (%1 does not exist).").arg(m_file.FileName()));
        return ExitOk;
    }
    QString error;
    const std::optional<QList<TTask>> tasks = m_file.Peek(&error);
    if (!tasks)
        return fail(error);
    QString out;
    QString profile;
    int number = 0;
    for (const TTask& task : *tasks) {
        // Each block of tasks under the profile it runs under.
        if (number == 0 || task.Profile != profile)
            out += QStringLiteral("Profile: %1\n").arg(task.Profile);
        profile = task.Profile;
        QString caption = TaskKindCaption(task.Kind);
        if (caption.isEmpty())
            caption = QStringLiteral("Unknown kind %1").arg(int(task.Kind));
        out += QStringLiteral("%1. %2\n").arg(QString::number(++number), caption);
        for (const QString& line : task.ViewLines())
            out += QStringLiteral("     %1\n").arg(line);
    }
    m_terminal.Out(out);
    return ExitOk;
}

int TTaskCommands::reload()
{
    if (!m_file.Exists())
        return fail(
            QStringLiteral("no tasks to resume (%1 does not exist)").arg(m_file.FileName()));
    m_file.ReadTasks();
    if (m_view.TaskCount() == 0)
        return fail(QStringLiteral("no task could be loaded from %1").arg(m_file.FileName()));
    return ExitOk;
}
