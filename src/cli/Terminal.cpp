#include "cli/Terminal.h"

#include "codec/PrintableText.h"

#include <QByteArray>
#include <cerrno>
#include <termios.h>
#include <unistd.h>

namespace {

void writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a closed pipe: nobody reads what we would say
        done += n;
    }
}

// Echo off for the life of the object; restored even when reading fails.
class TEchoOff
{
public:
    TEchoOff()
    {
        if (::tcgetattr(STDIN_FILENO, &m_saved) != 0)
            return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        m_active = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~TEchoOff()
    {
        if (m_active)
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
    }
    TEchoOff(const TEchoOff&) = delete;
    TEchoOff& operator=(const TEchoOff&) = delete;

private:
    termios m_saved{};
    bool m_active = false;
};

} // namespace

TTerminal::TTerminal()
    : m_inputTty(::isatty(STDIN_FILENO) == 1), m_errorTty(::isatty(STDERR_FILENO) == 1)
{
}

void TTerminal::Out(const QString& text) const
{
    writeAll(STDOUT_FILENO, PrintableText(text).toLocal8Bit());
}

void TTerminal::Err(const QString& text) const
{
    writeAll(STDERR_FILENO, PrintableText(text).toLocal8Bit());
}

void TTerminal::Redraw(const QString& text) const
{
    writeAll(STDERR_FILENO, "\r" + PrintableText(text).toLocal8Bit());
}

std::optional<QString> TTerminal::ReadLine(bool echo) const
{
    std::optional<TEchoOff> quiet;
    if (!echo && m_inputTty)
        quiet.emplace();
    QByteArray line;
    char c = 0;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) {
            // Ctrl+C at a prompt cancels it; the interrupt itself is handled afterwards.
            Err(QStringLiteral("\n"));
            return std::nullopt;
        }
        if (n <= 0) {
            if (line.isEmpty())
                return std::nullopt;
            break;
        }
        if (c == '\n')
            break;
        line += c;
    }
    if (!echo && m_inputTty)
        Err(QStringLiteral("\n")); // the user's Enter was not echoed
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromLocal8Bit(line);
}
