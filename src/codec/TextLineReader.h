#pragma once

#include "codec/LocalFile.h"

#include <QByteArray>
#include <QFile>
#include <QString>

class TTextCharset;

// Reads a text file one line at a time in blocks, so any size of file costs the same small
// buffer. CR LF, LF and CR each end a line; the lines come without their ends, as bytes.
class TTextLineReader
{
public:
    // False with ErrorText set when the file cannot be opened.
    bool Open(const QString& path);
    // The next line. False at the end of the file, or on a read failure with ErrorText set.
    bool Next(QByteArray& line);
    const QString& ErrorText() const { return m_errorText; }
    // The file's bytes taken so far, line ends included: where the next line begins.
    qint64 Consumed() const;

    // The number of lines of the file in one pass that keeps no line, and what its bytes
    // need declared when charset is given; false with *error set when the file cannot be
    // read.
    static bool CountLines(const QString& path, qint64& count, QString* error,
                           TTextCharset* charset = nullptr);

private:
    bool fill();
    bool fail(const QString& what);

    TLocalFile m_file;
    QString m_path;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_atEnd = false;
    bool m_skipLF = false; // the previous block ended with CR: a leading LF belongs to it
    QString m_errorText;
};
