#pragma once

#include "codec/DecodedPath.h"

#include <QString>
#include <QStringList>

#include <map>
#include <memory>

class TOutputFile;

// Decodes yEnc parts into the file they make up. The parts come as files in any order: part
// files, articles saved with their headers, or several parts in one file. Each part goes to
// its offset in the output; its size, its pcrc32 (the crc32 of a file in one piece) and at
// the end the crc32 of the whole file are checked, and the parts must cover the file once.
// Input is not trusted: a bad number, a range outside the file, overlapping parts, a missing
// =yend line or a checksum mismatch raises EUUCode with a message naming the part and its
// file, and the output is put in place only when every check has passed.
class TYEncJoiner
{
public:
    // outputFile empty: the name in the =ybegin line, in the folder of the first input.
    explicit TYEncJoiner(QString outputFile = {});
    ~TYEncJoiner();

    // Without an output file: replace an existing file of the =ybegin line's name (never an
    // input, never through a link) instead of writing under a free name.
    void SetOverwrite(bool overwrite) { m_overwrite = overwrite; }
    // Returns the file written.
    QString Join(const QStringList& inputFiles);
    // Without an output file: where the =ybegin line's name was wanted and where it went.
    const TDecodedPath& Decoded() const { return m_decoded; }

    struct TRange
    {
        qint64 end = 0; // 1-based, inclusive
        int number = 0;
        QString file;
        quint32 crc = 0;
    };

private:
    class TReader;
    struct THeader;

    void joinFile(const QString& path);
    void decodePart(TReader& reader, const QString& path, const QByteArray& beginLine);
    THeader readHeader(TReader& reader, const QString& path, const QByteArray& beginLine);
    void claim(const THeader& header, const QString& path);
    void checkWhole();

    QString m_outputFile;
    bool m_overwrite = false;
    TDecodedPath m_decoded;
    QStringList m_inputs;
    std::unique_ptr<TOutputFile> m_output;
    qint64 m_position = 0;
    QString m_name;
    qint64 m_size = -1;
    // The parts decoded, by their first byte (1-based).
    std::map<qint64, TRange> m_ranges;
    // The crc32 values of the whole file that the parts' =yend lines give, with their part.
    std::map<QString, quint32> m_fileCrcs;
};
