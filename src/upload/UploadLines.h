#pragma once

#include "upload/FileLineSource.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>

// Every body line of one upload, in posting order: the include text, the file's lines
// (encoded or as text) and the signature. A series of parts is this sequence cut into
// pieces of at most MaxLines lines, so every line is posted exactly once and the count of
// parts known up front is the count actually posted. All lines follow the dot rule.
class TUploadLines
{
public:
    // signaturePath: empty, or a file that exists. False with ErrorText set when the file
    // or the signature cannot be read.
    bool Open(const QStringList& includeLines, const QString& path, bool encode,
              const QString& signaturePath);
    qint64 Count() const { return m_include.size() + m_file.LineCount() + m_signature.LineCount(); }
    qint64 Remaining() const { return Count() - m_given; }
    // Appends the next count lines to lines as they go on the wire (text lines keep their
    // bytes, whatever their encoding); full encoded lines go in bulk. False at the end, or
    // on a failure with ErrorText set.
    bool AppendLines(TByteLines& lines, qint64 count);
    const QString& ErrorText() const { return m_errorText; }
    // What the include text, a text file and the signature need declared, together.
    const TTextCharset& Charset() const { return m_charset; }

private:
    bool appendNext(TByteLines& lines);
    TFileLineSource& currentSource();

    QByteArrayList m_include;
    TFileLineSource m_file;
    TFileLineSource m_signature;
    qint64 m_given = 0;
    TTextCharset m_charset;
    QString m_errorText;
};
