#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// yEnc 1.3: binary data as 8-bit text lines, each byte shifted by 42; NUL, LF, CR and "=" are
// always written as "=" and the byte plus 64, TAB and space also at the start and the end of
// a line, "." at the start of a line. A line holds LineLength characters, one more when it
// ends in such an escape pair. Every part carries the CRC-32 of its bytes; the last part of a
// file (and a file sent in one piece) also that of the whole file.
namespace YEnc {

constexpr int LineLength = 128;

// One part of a file as its header and trailer lines describe it.
struct TPart
{
    QString name;        // written as UTF-8
    qint64 fileSize = 0; // bytes of the whole file
    int number = 0;      // 1 to total; 0 for a file sent in one piece
    int total = 0;
    qint64 begin = 0; // offset of the part's first byte in the file, from 0
    qint64 size = 0;  // bytes of the part
};

// "=ybegin part=K total=N line=128 size=S name=NAME" and "=ypart begin=B end=E" (B and E
// count from 1 and include both ends), or for one piece "=ybegin line=128 size=S name=NAME";
// each line followed by eol. Control characters in the name become "_".
QByteArray BeginLines(const TPart& part, QByteArrayView eol = "\r\n", int lineLength = LineLength);
// "=yend size=PARTSIZE part=K pcrc32=XXXXXXXX" plus " crc32=XXXXXXXX" when fileCrc is given
// (the last part), or "=yend size=S crc32=XXXXXXXX" for one piece (partCrc is the file's).
QByteArray EndLine(const TPart& part, quint32 partCrc, std::optional<quint32> fileCrc,
                   QByteArrayView eol = "\r\n");

struct TEncodedPart
{
    QByteArray text; // header lines, data lines and the =yend line, each ending in eol
    quint32 partCrc = 0;
    quint32 fileCrc = 0; // of the file up to and including this part
    qint64 lines = 0;    // data lines
};

// Encodes a whole part from memory: data holds part.size bytes. fileCrcBefore is the CRC-32
// of the file's bytes before the part (0 for the first), so that the file is read once; the
// =yend line carries crc32= when the part ends the file.
TEncodedPart EncodePart(const TPart& part, const uchar* data, quint32 fileCrcBefore,
                        QByteArrayView eol = "\r\n");

// The vector instructions the coders may use, at most: the best the processor has by
// default; tests lower it to compare the code paths.
enum class TVectorCode
{
    none,
    ssse3,
    avx512,
};
void SetVectorCode(TVectorCode limit);

} // namespace YEnc
