#pragma once

#include "article/BodySegment.h"

#include <QFile>

#include <vector>

// A binary file in the body as uuencoded lines: "begin 644 name", one line per 45 bytes, the
// shortened last line (the grave accent alone when the size is a multiple of 45), a grave
// accent line and "end". Encoded as it is read, so the file is never held whole.
class TEncodedFileSegment : public TBodySegment
{
public:
    // Takes the size now: it fixes the line count.
    explicit TEncodedFileSegment(const QString& path);

    // False with error set when the file cannot be read.
    bool Check(QString& error);

    qint64 LineCount() const override { return m_size / 45 + 4; }
    bool Open(QString& error) override;
    bool Next(QByteArray& line, QString& error) override;

private:
    enum class TStep
    {
        Begin,
        Data,
        Accent,
        End,
        Done
    };

    bool dataLine(QByteArray& line, QString& error);
    QString changed() const;

    QString m_path;
    QFile m_file;
    qint64 m_size = 0;
    TStep m_step = TStep::Done;
    qint64 m_linesLeft = 0;
    std::vector<char> m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
};
