#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One article of a posted file as a downloader finds it.
struct TNzbSegment
{
    int Number = 0;    // the part number, from 1
    qint64 Bytes = 0;  // the article's size
    QString MessageId; // with or without the angle brackets
};

// One posted file: its first part's subject, who posted it, when (Unix time), where.
struct TNzbFile
{
    QString Poster;
    qint64 Date = 0;
    QString Subject;
    QStringList Groups;
    QList<TNzbSegment> Segments;
};

// NZB 1.1 files: the list of articles through which anyone downloads a post.
namespace NzbFile {

// The document, UTF-8 XML; segments in part order whatever order they come in.
QByteArray Document(const QString& title, const QList<TNzbFile>& files);
// Writes document into folder as name and ending (".nzb", or ".incomplete.nzb" for a post
// not all on the server yet), "<name> (2)<ending>" and so on when that is taken: an existing
// file is never replaced. The name loses what a file name cannot hold and is cut to fit the
// system's limit. The path written, or empty with the reason.
QString WriteNew(const QString& folder, const QString& name, const QString& ending,
                 const QByteArray& document, QString* error);
// The files of an NZB document, whoever wrote it; std::nullopt with the reason (and the line)
// when it is no NZB. Message-IDs come without angle brackets, as the file has them.
std::optional<QList<TNzbFile>> Read(const QByteArray& document, QString* error);

} // namespace NzbFile
