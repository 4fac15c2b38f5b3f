#include "cli/TerminalView.h"

#include "cli/Terminal.h"

namespace {

const QString Prefix = QStringLiteral("quorvel-cli: ");

QStringList messageLines(const QString& text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return plain.split(u'\n', Qt::SkipEmptyParts);
}

bool isYes(const QString& answer)
{
    const QString a = answer.trimmed().toLower();
    return a == QLatin1String("y") || a == QLatin1String("yes");
}

bool isNo(const QString& answer)
{
    const QString a = answer.trimmed().toLower();
    return a.isEmpty() || a == QLatin1String("n") || a == QLatin1String("no");
}

} // namespace

TTerminalView::TTerminalView(const TTerminal& terminal, bool assumeYes, QObject* parent)
    : QObject(parent), m_terminal(terminal), m_progress(terminal), m_assumeYes(assumeYes)
{
}

bool TTerminalView::CanAsk() const
{
    return m_terminal.InputIsTerminal();
}

bool TTerminalView::ShowsProgress() const
{
    return m_terminal.ErrorIsTerminal();
}

void TTerminalView::Note(const QString& text)
{
    m_progress.Break();
    m_terminal.Err(text + u'\n');
}

void TTerminalView::ShowWarning(const QString& text)
{
    for (const QString& line : messageLines(text))
        Note(Prefix + QStringLiteral("warning: ") + line);
}

void TTerminalView::ShowError(const QString& text)
{
    for (const QString& line : messageLines(text))
        Note(Prefix + QStringLiteral("error: ") + line);
}

std::optional<QString> TTerminalView::ask(const QString& prompt, bool echo)
{
    m_progress.Break();
    m_terminal.Err(prompt);
    return m_terminal.ReadLine(echo);
}

void TTerminalView::refuse(const QString& what)
{
    m_refused = true;
    for (const QString& line : messageLines(what))
        Note(Prefix + line);
    emit Refused();
}

bool TTerminalView::AskYesNo(const QString& text)
{
    if (m_assumeYes) {
        Note(text + QStringLiteral(" yes (--yes)"));
        return true;
    }
    if (!m_terminal.InputIsTerminal()) {
        refuse(text + QStringLiteral("\nno terminal to answer the question: refused "
                                     "(give --yes to agree)"));
        return false;
    }
    for (;;) {
        const std::optional<QString> answer = ask(text + QStringLiteral(" [y/N] "), true);
        if (!answer || isNo(*answer))
            return false;
        if (isYes(*answer))
            return true;
    }
}

std::optional<QString> TTerminalView::InputBox(const QString& caption, const QString& prompt,
                                               const QString& initial)
{
    if (!m_terminal.InputIsTerminal()) {
        refuse(caption + QStringLiteral(": no terminal to answer: cancelled"));
        return std::nullopt;
    }
    const std::optional<QString> answer =
        ask(QStringLiteral("%1 [%2]: ").arg(prompt, initial), true);
    if (!answer)
        return std::nullopt;
    return answer->isEmpty() ? initial : *answer;
}

std::optional<TLoginAnswer> TTerminalView::AskLogin(const QString& caption, const QString& user,
                                                    const QString& password)
{
    const bool dialUp = caption.startsWith(QLatin1String("Dial-up"), Qt::CaseInsensitive);
    const bool proxy = caption.startsWith(QLatin1String("Proxy"), Qt::CaseInsensitive);
    const char* variable = dialUp  ? "QUORVEL_DIALUP_PASSWORD"
                           : proxy ? "QUORVEL_PROXY_PASSWORD"
                                   : "QUORVEL_PASSWORD";
    const QString fromEnvironment = qEnvironmentVariable(variable);
    if (!fromEnvironment.isEmpty())
        return TLoginAnswer{user, fromEnvironment};
    if (!m_terminal.InputIsTerminal()) {
        refuse(QStringLiteral("%1: no password known; set %2 or run in a terminal")
                   .arg(caption, QLatin1String(variable)));
        return std::nullopt;
    }
    Note(caption);
    TLoginAnswer answer{user, password};
    if (user.isEmpty()) {
        const std::optional<QString> name = ask(QStringLiteral("User name: "), true);
        if (!name)
            return std::nullopt;
        answer.UserName = *name;
    }
    const std::optional<QString> secret = ask(QStringLiteral("Password: "), false);
    if (!secret)
        return std::nullopt;
    answer.Password = *secret;
    return answer;
}

std::optional<QStringList> TTerminalView::AskIncludeText()
{
    if (!m_terminal.InputIsTerminal()) {
        refuse(QStringLiteral("the profile asks for an include text: give --include-text FILE"));
        return std::nullopt;
    }
    Note(QStringLiteral("Include text (end with a line holding only \".\"):"));
    QStringList lines;
    for (;;) {
        const std::optional<QString> line = m_terminal.ReadLine(true);
        if (!line)
            return std::nullopt;
        if (*line == QLatin1String("."))
            return lines;
        lines << *line;
    }
}

void TTerminalView::OpenSetup()
{
    Note(QStringLiteral("Set the profile's values with 'quorvel-cli --profile NAME profile set "
                        "KEY VALUE' ('profile show' lists the keys)."));
}

void TTerminalView::SetStatusText(const QString& text)
{
    if (text == m_lastStatus)
        return;
    m_lastStatus = text;
    m_progress.SetStatus(text);
}

void TTerminalView::SetProgress(int percent)
{
    m_progress.Set(percent);
}

void TTerminalView::TaskViewAdd(const TTaskRow& row)
{
    m_tasks.append({row.Caption, row.Children});
}

void TTerminalView::TaskViewInsert(int index, const TTaskRow& row)
{
    m_tasks.insert(index, {row.Caption, row.Children});
}

void TTerminalView::TaskViewRemoveFirst()
{
    if (m_tasks.isEmpty())
        return;
    m_tasks.removeFirst();
    if (m_tasks.isEmpty())
        emit QueueEmptied();
}

void TTerminalView::TaskViewClear()
{
    if (m_tasks.isEmpty())
        return;
    m_batchCut = true;
    m_tasks.clear();
    emit QueueEmptied();
}

void TTerminalView::CloseMainWindow()
{
    emit CloseRequested();
}
