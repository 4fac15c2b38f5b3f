#pragma once

#include "article/ByteLines.h"
#include "codec/ByteSink.h"
#include "codec/LocalFile.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>

// How a binary file goes into a body; each value is one TEncodedBody.
enum class TBodyEncoding
{
    UUEncode,
    YEnc
};

// The encoding a profile names ("uuencode" or "yenc", regardless of case); uuencoding for
// any other word.
TBodyEncoding BodyEncodingFromText(const QString& text);

// Why an encoded body stopped; the caller words it, as the article and the upload do.
enum class TBodyFault
{
    None,
    Open,   // the file could not be opened (FaultDetail: the system's reason)
    Read,   // a read failed (FaultDetail: the system's reason)
    Changed // the file's size is not the one its line count was taken from
};

// The body lines of one binary file in its encoding, framed (begin and end lines) and with
// the dot rule applied, produced one at a time so that the file is never held whole. The line
// count follows from the size taken when the body is made.
class TEncodedBody
{
public:
    // partBytes: for an encoding that frames parts of its own (yEnc), the file's bytes per
    // part; 0 sends the file in one piece. Uuencoding has no parts of its own.
    static std::unique_ptr<TEncodedBody> Create(TBodyEncoding encoding, const QString& path,
                                                qint64 partBytes = 0);
    // Tells the sink the reader has let go.
    virtual ~TEncodedBody();
    // Every read of the file is handed to sink as well (offset and bytes), for another use
    // of the same bytes (a recovery set); the sink keeps up or lets go on its own.
    void SetSink(std::shared_ptr<TByteSink> sink) { m_sink = std::move(sink); }

    // The lines of the current part (of the body, where it has no parts).
    virtual qint64 LineCount() const = 0;
    // (Re)starts from the first line; false with Fault set.
    virtual bool Open() = 0;
    // Lets go of the file until the next Open.
    virtual void Close() = 0;
    // The next line without line end; false at the end, or with Fault set.
    bool Next(QByteArray& line);
    // Appends the next line to lines; false at the end, or with Fault set.
    bool AppendNext(TByteLines& lines);
    // Appends up to max lines at once where the encoding can (lines clean for the wire,
    // encoded straight into lines). Returns how many, 0 where the next line must be taken
    // with Next or AppendNext, -1 with Fault set.
    virtual qint64 AppendFullLines(TByteLines& lines, qint64 max) = 0;
    // Parts framed by the encoding itself, each ending where Next returns false without a
    // fault; NextPart goes on to the next one and is false after the last.
    virtual qint64 PartCount() const { return 1; }
    virtual bool NextPart() { return false; }
    // The file's bytes encoded so far; -1 where the encoding does not tell.
    virtual qint64 BytesDone() const { return -1; }

    TBodyFault Fault() const { return m_fault; }
    const QString& FaultDetail() const { return m_detail; }

protected:
    // The next line, valid until the next call; false at the end, or with Fault set.
    virtual bool take(QByteArrayView& view) = 0;
    bool fail(TBodyFault fault, const QString& detail = {});
    void clearFault();
    // Opens file for reading, checking that it still has the size the body was made for.
    bool openFile(QFile& file, qint64 size);
    // Reads exactly want bytes into block; a file ending early has changed.
    bool readFully(QFile& file, QByteArray& block, qint64 want);

private:
    TBodyFault m_fault = TBodyFault::None;
    QString m_detail;
    std::shared_ptr<TByteSink> m_sink;
};

// A file uuencoded: "begin 644 name", one line per 45 bytes, the shorter last line (a lone
// grave accent when nothing is left over), a grave accent line and "end".
class TUUEncodedBody : public TEncodedBody
{
public:
    explicit TUUEncodedBody(const QString& path);

    static qint64 LineCountFor(qint64 size) { return size / 45 + 4; }
    static QByteArray BeginLine(const QString& fileName);
    static const char* AccentLine() { return "`"; }
    static const char* EndLine() { return "end"; }

    qint64 LineCount() const override { return LineCountFor(m_size); }
    bool Open() override;
    void Close() override { m_file.close(); }
    qint64 AppendFullLines(TByteLines& lines, qint64 max) override;
    qint64 BytesDone() const override { return m_consumed; }

private:
    // The next line, in m_out or m_begin.
    bool take(QByteArrayView& view) override;
    // The next line after the begin line into out, the dot rule applied; start points
    // into out.
    bool nextLine(char* out, const char*& start, int& chars);
    bool dataLine(char* out, int& chars);
    bool readBlock();

    QString m_path;
    TLocalFile m_file;
    qint64 m_size = 0;
    qint64 m_index = 0;    // lines given so far
    qint64 m_consumed = 0; // file bytes encoded so far
    QByteArray m_block;
    qsizetype m_blockPos = 0;
    QByteArray m_begin;
    char m_out[65]; // the longest line, a dot in front
};
