#include "upload/NzbFile.h"

#include "base/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Text as XML character data or attribute value; characters XML 1.0 cannot hold go.
QByteArray escaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 && u != '\t')
            continue;
        if (u == 0xFFFE || u == 0xFFFF)
            continue;
        switch (u) {
        case '\t':
            // A reader turns a tab in an attribute (a subject, a poster) into a blank.
            out += QStringLiteral("&#9;");
            break;
        case '&':
            out += QStringLiteral("&amp;");
            break;
        case '<':
            out += QStringLiteral("&lt;");
            break;
        case '>':
            out += QStringLiteral("&gt;");
            break;
        case '"':
            out += QStringLiteral("&quot;");
            break;
        default:
            out += c;
        }
    }
    return out.toUtf8();
}

QString withoutBrackets(const QString& id)
{
    if (id.startsWith('<') && id.endsWith('>'))
        return id.mid(1, id.size() - 2);
    return id;
}

// A file name holds 255 bytes; the name keeps room for " (999).incomplete.nzb".
constexpr qsizetype NameBytes = 200;

// The longest start of text that takes at most limit bytes of UTF-8, cut between characters.
QString cutToBytes(const QString& text, qsizetype limit)
{
    qsizetype bytes = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const qsizetype length = text.at(end).isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
        bytes += QStringView(text).mid(end, length).toUtf8().size();
        if (bytes > limit)
            break;
        end += length;
    }
    return text.left(end);
}

// A file name from a subject or a file's name: no folders, no control characters.
QString safeName(const QString& name)
{
    QString out;
    for (QChar c : name)
        out += (c == '/' || c == '\\' || c.unicode() < 0x20) ? QChar('_') : c;
    out = out.trimmed();
    while (out.startsWith('.'))
        out.remove(0, 1);
    out = cutToBytes(out, NameBytes).trimmed();
    return out.isEmpty() ? QStringLiteral("upload") : out;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool writeAll(int fd, const QByteArray& data, QString* error)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = systemError();
            return false;
        }
        done += n;
    }
    if (::fsync(fd) != 0) {
        *error = systemError();
        return false;
    }
    return true;
}

} // namespace

namespace NzbFile {

QByteArray Document(const QString& title, const QList<TNzbFile>& files)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!DOCTYPE nzb PUBLIC \"-//newzBin//DTD NZB 1.1//EN\" "
                     "\"http://www.newzbin.com/DTD/nzb/nzb-1.1.dtd\">\n"
                     "<nzb xmlns=\"http://www.newzbin.com/DTD/2003/nzb\">\n";
    if (!title.isEmpty())
        xml += " <head>\n  <meta type=\"title\">" + escaped(title) + "</meta>\n </head>\n";
    for (const TNzbFile& file : files) {
        xml += " <file poster=\"" + escaped(file.Poster) + "\" date=\"" +
               QByteArray::number(file.Date) + "\" subject=\"" + escaped(file.Subject) + "\">\n";
        xml += "  <groups>\n";
        for (const QString& group : file.Groups)
            xml += "   <group>" + escaped(group) + "</group>\n";
        xml += "  </groups>\n  <segments>\n";
        QList<TNzbSegment> segments = file.Segments;
        std::stable_sort(
            segments.begin(), segments.end(),
            [](const TNzbSegment& a, const TNzbSegment& b) { return a.Number < b.Number; });
        for (const TNzbSegment& s : segments)
            xml += "   <segment bytes=\"" + QByteArray::number(s.Bytes) + "\" number=\"" +
                   QByteArray::number(s.Number) + "\">" + escaped(withoutBrackets(s.MessageId)) +
                   "</segment>\n";
        xml += "  </segments>\n </file>\n";
    }
    xml += "</nzb>\n";
    return xml;
}

QString WriteNew(const QString& folder, const QString& name, const QString& ending,
                 const QByteArray& document, QString* error)
{
    *error = TSafeFile::MakeFolder(folder);
    if (!error->isEmpty())
        return QString();
    const QString base = safeName(name);
    for (int n = 1; n < 1000; ++n) {
        const QString file =
            n == 1 ? base + ending : QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(ending);
        const QString path = QDir(folder).filePath(file);
        const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            *error = "Cannot write " + path + ": " + systemError();
            return QString();
        }
        QString reason;
        const bool written = writeAll(fd, document, &reason);
        if (::close(fd) != 0 && written)
            reason = systemError();
        if (!written || !reason.isEmpty()) {
            ::unlink(QFile::encodeName(path).constData());
            *error = "Cannot write " + path + ": " + reason;
            return QString();
        }
        return path;
    }
    *error = "Too many NZB files named " + base + " in " + folder;
    return QString();
}

std::optional<QList<TNzbFile>> Read(const QByteArray& document, QString* error)
{
    QXmlStreamReader xml(document);
    QList<TNzbFile> files;
    bool sawNzb = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        const QXmlStreamAttributes a = xml.attributes();
        if (name == u"nzb") {
            sawNzb = true;
        } else if (name == u"file" && sawNzb) {
            files.append({a.value("poster").toString(),
                          a.value("date").toLongLong(),
                          a.value("subject").toString(),
                          {},
                          {}});
        } else if (name == u"group" && !files.isEmpty()) {
            files.last().Groups << xml.readElementText().trimmed();
        } else if (name == u"segment" && !files.isEmpty()) {
            TNzbSegment segment;
            segment.Bytes = a.value("bytes").toLongLong();
            segment.Number = a.value("number").toInt();
            segment.MessageId = xml.readElementText().trimmed();
            files.last().Segments << segment;
        }
    }
    if (xml.hasError()) {
        *error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
        return std::nullopt;
    }
    if (!sawNzb) {
        *error = QStringLiteral("no <nzb> element");
        return std::nullopt;
    }
    return files;
}

} // namespace NzbFile
