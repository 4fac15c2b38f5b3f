#include "base/Logger.h"

#include "base/Clock.h"
#include "base/SessionLog.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace LogLine {

QString TimeStamp(const QDateTime& when)
{
    return when.toString(QStringLiteral("MM/dd/yy HH:mm:ss"));
}

QString Trimmed(const QString& text)
{
    // Blanks and control characters go from both ends.
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && text[b].unicode() <= 32)
        ++b;
    while (e > b && text[e - 1].unicode() <= 32)
        --e;
    return text.mid(b, e - b);
}

QString Escaped(const QString& text)
{
    // As the terminal shows them (\xHH): a name from a post or a server's text may hold an
    // escape sequence (C0 or C1) that would act on whoever reads the log in a terminal.
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control && c != u'\t')
            shown += QStringLiteral("\\x") +
                     QString::number(c.unicode(), 16).toUpper().rightJustified(2, u'0');
        else
            shown += c;
    }
    return shown;
}

QString Format(const QDateTime& when, const QString& text)
{
    // One entry is one line: a line break inside the text (a message of several lines, a
    // server's reply) becomes a blank, or the lines after it would have no time stamp.
    QString line = Trimmed(text);
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t c = line[i].unicode();
        if (c != u'\r' && c != u'\n' && c != u'\v' && c != u'\f' && c != 0x2028 && c != 0x2029)
            continue;
        qsizetype end = i + 1;
        if (c == u'\r' && end < line.size() && line[end] == u'\n')
            ++end;
        line.replace(i, end - i, u' ');
    }
    return TimeStamp(when) + QStringLiteral("   ") + Escaped(line);
}

} // namespace LogLine

TLogger::TLogger(TSessionLog& session, const TClock& clock, QObject* parent)
    : QObject(parent), m_session(session), m_clock(clock)
{
}

void TLogger::LogIt(const QString& text)
{
    m_session.AddLine(text);
    if (m_fileName.isEmpty())
        return;
    QString error;
    const bool ok = appendToFile(LogLine::Format(m_clock.Now(), text), &error);
    if (ok) {
        m_failing = false;
    } else if (!m_failing) {
        m_failing = true;
        emit LogFileFailed(error);
    }
}

bool TLogger::appendToFile(const QString& line, QString* error) const
{
    // Plain system calls: the news client logs several lines per article, and a file object
    // would add two status queries and a seek to every one of them.
    const QByteArray bytes = line.toUtf8() + "\r\n";
    const int fd = ::open(QFile::encodeName(m_fileName).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    int failure = fd < 0 ? errno : 0;
    for (qsizetype done = 0; failure == 0 && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0)
            failure = EIO;
        else if (errno != EINTR)
            failure = errno;
    }
    if (fd >= 0 && ::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0)
        return true;
    *error = QStringLiteral("Cannot write the log file %1: %2")
                 .arg(m_fileName, QString::fromLocal8Bit(std::strerror(failure)));
    return false;
}
