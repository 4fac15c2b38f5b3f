#pragma once

#include "article/ByteLines.h"
#include "article/EncodedBody.h"
#include "codec/TextCharset.h"
#include "codec/TextLineReader.h"

#include <QByteArray>
#include <QString>

#include <memory>

// The body lines of one file as an upload posts them, produced one at a time: a binary file
// uuencoded between "begin 644 name" and "end" (with the lone grave accent line before
// "end"), or a text file's own lines. A line that begins with "." gets a second one, so no
// line reads as the end of an article. The number of lines is known once the file is open,
// without holding them: from the size for an encoded file, from one counting pass for text.
class TFileLineSource
{
public:
    // False with ErrorText set when the file cannot be opened or read.
    bool Open(const QString& path, bool encode);
    qint64 LineCount() const { return m_lineCount; }
    // What a text file's bytes need declared (an encoded file is plain ASCII).
    const TTextCharset& Charset() const { return m_charset; }
    // The next line; false at the end, or on a failure with ErrorText set.
    bool Next(QByteArray& line);
    // Appends the next line to lines; an encoded line goes there without a byte array.
    bool AppendNext(TByteLines& lines);
    // Appends up to max of the encoded file's full lines at once, encoded straight into
    // lines. Returns how many (0 where the next line is not a full encoded line: the begin
    // line, the last lines, a text file), or -1 on a read failure with ErrorText set.
    qint64 AppendFullLines(TByteLines& lines, qint64 max);
    const QString& ErrorText() const { return m_errorText; }

private:
    bool encodedFailed();
    bool fail(const QString& text);

    QString m_path;
    qint64 m_lineCount = 0;
    qint64 m_index = 0; // text lines given so far
    TTextCharset m_charset;
    QString m_errorText;

    TTextLineReader m_text;
    std::unique_ptr<TEncodedBody> m_encoded;
};
