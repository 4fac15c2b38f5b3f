#pragma once

#include "article/BodySegment.h"
#include "codec/LocalFile.h"
#include "codec/TextCharset.h"

#include <QFile>

#include <vector>

// A text file placed in the body line by line: CR LF, LF or CR end a line, the bytes of a
// line pass unchanged, a leading "." is doubled. Lines are counted once when the segment is
// made; a file whose line count changes before it is sent fails instead of sending a body
// of another length than announced.
class TTextFileSegment : public TBodySegment
{
public:
    explicit TTextFileSegment(const QString& path);

    // Counts the lines; false with error set when the file cannot be read.
    bool Count(QString& error);

    qint64 LineCount() const override { return m_lineCount; }
    void AddCharsetTo(TTextCharset& charset) const override { charset.Merge(m_charset); }
    bool Open(QString& error) override;
    bool Next(QByteArray& line, QString& error) override;

private:
    bool start(QString& error);
    // 1 with a line, 0 at the end of the file, -1 on a read error.
    int readLine(QByteArray& line);
    bool fill();
    QString readError() const;

    QString m_path;
    TLocalFile m_file;
    std::vector<char> m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    bool m_afterCR = false;
    bool m_failed = false;
    qint64 m_lineCount = 0;
    TTextCharset m_charset;
    qint64 m_sent = 0;
};
