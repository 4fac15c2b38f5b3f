#pragma once

#include "article/ByteLines.h"
#include "article/EncodedBody.h"
#include "codec/TextCharset.h"
#include "codec/TextLineReader.h"

#include <QByteArray>
#include <QString>

#include <memory>

// The body lines of one file as an upload posts them, produced one at a time: a binary file
// encoded (uuencoded between "begin 644 name" and "end", with the lone grave accent line
// before "end"; or yEnc-encoded, in parts of its own), or a text file's own lines. A line that
// begins with "." gets a second one, so no line reads as the end of an article. The number of
// lines is known once the file is open, without holding them: from the size for an encoded
// file (for yEnc as if no byte were escaped), from one counting pass for text.
class TFileLineSource
{
public:
    // partBytes: the file's bytes per yEnc part, 0 for one piece. False with ErrorText set
    // when the file cannot be opened or read.
    bool Open(const QString& path, bool encode, TBodyEncoding encoding = TBodyEncoding::UUEncode,
              qint64 partBytes = 0);
    // The lines of the current part (of the file, but for yEnc parts).
    qint64 LineCount() const { return m_encoded ? m_encoded->LineCount() : m_lineCount; }
    // yEnc parts: how many, and on to the next once Next has ended the current one.
    qint64 PartCount() const { return m_encoded ? m_encoded->PartCount() : 1; }
    bool NextPart() { return m_encoded && m_encoded->NextPart(); }
    // What a text file's bytes need declared (an encoded file is plain ASCII).
    const TTextCharset& Charset() const { return m_charset; }
    // The next line; false at the end (of the part), or on a failure with ErrorText set.
    bool Next(QByteArray& line);
    // Appends the next line to lines; an encoded line goes there without a byte array.
    bool AppendNext(TByteLines& lines);
    // Appends up to max of the encoded file's full lines at once, encoded straight into
    // lines. Returns how many (0 where the next line is not a full encoded line: the begin
    // line, the last lines, a text file), or -1 on a read failure with ErrorText set.
    qint64 AppendFullLines(TByteLines& lines, qint64 max);
    const QString& ErrorText() const { return m_errorText; }
    // An encoded file's reads go to sink as well (TEncodedBody::SetSink); a text file's do not.
    void SetSink(const std::shared_ptr<TByteSink>& sink)
    {
        if (m_encoded)
            m_encoded->SetSink(sink);
    }
    // The file's bytes given as lines so far; -1 where the encoding does not tell.
    qint64 BytesDone() const { return m_encoded ? m_encoded->BytesDone() : m_text.Consumed(); }

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
