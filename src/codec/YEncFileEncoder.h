#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Encodes a file as yEnc: in one piece into one output, or in parts of a given size into
// numbered files (OUTPUT.001, OUTPUT.002, ...). The file is read once, in blocks, so memory
// stays small whatever its size; the CRC-32 of each part and of the file comes from the same
// pass. Failures raise EUUCode naming the file; an output is replaced only once complete.
class TYEncFileEncoder
{
public:
    // partSize 0: one piece. eol: the line end of the output.
    explicit TYEncFileEncoder(qint64 partSize = 0, QByteArray eol = "\r\n");

    // Returns the files written (the output itself for one piece or a device).
    QStringList Encode(const QString& inputFile, const QString& outputFile);

    // The name of part number of total: OUTPUT.NNN, at least three digits.
    static QString PartFileName(const QString& outputFile, int number, int total);

private:
    qint64 m_partSize;
    QByteArray m_eol;
};
