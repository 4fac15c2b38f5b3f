#include "cli/TaskCommands.h"

#include "cli/CliRequest.h"
#include "cli/ExitStatus.h"
#include "cli/Terminal.h"
#include "cli/TerminalView.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskLine.h"
#include "tasks/TaskMenu.h"

#include <QFile>

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
    QFile file(m_file.FileName());
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
    const QString text = QString::fromUtf8(file.readAll());
    qsizetype firstEnd = text.indexOf(u'\n');
    if (firstEnd < 0)
        firstEnd = text.size();
    QString profile = text.left(firstEnd);
    if (profile.endsWith(u'\r'))
        profile.chop(1);
    TaskLine::TSplitError splitError;
    const auto records = TaskLine::Split(text.mid(firstEnd + 1), 2, &splitError);
    if (!records)
        return fail(QStringLiteral("%1, line %2: %3")
                        .arg(file.fileName(), QString::number(splitError.Line), splitError.Text));
    QString out = QStringLiteral("Profile: %1\n").arg(profile);
    int number = 0;
    for (const TaskLine::TRecord& record : *records) {
        if (record.Text.isEmpty())
            continue;
        QString error;
        const std::optional<TTask> task = TaskLine::Read(record.Text, &error);
        if (!task)
            return fail(QStringLiteral("%1, line %2: %3")
                            .arg(file.fileName(), QString::number(record.FirstLine), error));
        QString caption = TaskKindCaption(task->Kind);
        if (caption.isEmpty())
            caption = QStringLiteral("Unknown kind %1").arg(int(task->Kind));
        out += QStringLiteral("%1. %2\n").arg(QString::number(++number), caption);
        for (const QString& line : task->ViewLines())
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
