#pragma once

#include <QByteArrayList>
#include <QString>

#include <optional>

// What a yEnc part's keyword lines say of it: the file it belongs to and the bytes it carries.
struct TYEncHeaders
{
    QString Name;    // the file's name (=ybegin name=)
    qint64 Size = 0; // the file's bytes (=ybegin size=)
    int Part = 1;    // 1 and Total 1 for a file in one piece
    int Total = 1;
    qint64 Begin = 1; // the file's bytes the part carries, 1-based, inclusive (=ypart)
    qint64 End = 0;
    std::optional<quint32> PartCrc; // =yend pcrc32= (crc32= of a file in one piece)
};

// Whether an article's body, as a server gives it back, still holds what was posted: a yEnc
// part whose data decodes to the size and the CRC-32 its =yend line gives. A server that kept
// the headers and lost or damaged the body passes a STAT; this sees it.
namespace ArticleBodyCheck {

// Empty when the body is whole; else what is wrong with it.
QString Damage(const QByteArrayList& lines);
// The keyword lines of the body; none when it holds no well-formed =ybegin line.
std::optional<TYEncHeaders> Headers(const QByteArrayList& lines);

} // namespace ArticleBodyCheck
