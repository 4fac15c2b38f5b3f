#include "upload/FilesBbsCatalog.h"

#include "base/TextDecode.h"

#include "codec/TextLineReader.h"

#include <QFileInfo>

namespace {

bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 32;
}

QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlankOrControl(text.at(begin)))
        ++begin;
    while (end > begin && isBlankOrControl(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

bool isFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

} // namespace

bool TFilesBbsCatalog::ParseLine(const QString& line, const QString& folder, TEntry& entry)
{
    if (line.isEmpty() || isBlankOrControl(line.at(0)))
        return false;
    const QString text = trimBlanks(line);
    for (qsizetype n = text.size(); n >= 1; --n) {
        const QString candidate = text.left(n);
        QString file;
        if (isFile(folder + candidate))
            file = folder + candidate;
        else if (isFile(candidate))
            file = candidate;
        else
            continue;
        entry.File = file;
        entry.Description = trimBlanks(text.mid(n));
        return true;
    }
    return false;
}

bool TFilesBbsCatalog::Read(const QString& catalogPath, QList<TEntry>& entries, QString* error)
{
    TTextLineReader reader;
    if (!reader.Open(catalogPath)) {
        *error = reader.ErrorText();
        return false;
    }
    QString folder = QFileInfo(catalogPath).path();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    QByteArray line;
    TEntry entry;
    while (reader.Next(line)) {
        // Catalogs come from anywhere, many of them in a one-byte encoding.
        if (ParseLine(Utf8OrLatin1(line), folder, entry))
            entries.append(entry);
    }
    if (!reader.ErrorText().isEmpty()) {
        *error = reader.ErrorText();
        return false;
    }
    return true;
}
