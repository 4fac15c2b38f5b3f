#pragma once

#include "article/ByteLines.h"
#include "article/EncodedBody.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class TBodySegment;

// One news article while it is built and sent: header lines, body lines, attached files.
//
// The body can be far larger than memory (an attached file of several GiB), so Compose does
// not encode attachments into BodyLines: it records what the body consists of and the sender
// pulls the lines one at a time with OpenBody / NextBodyLine. The lines pulled are the placed
// BodyLines, as placed (AddBodyLine doubles a leading "."; who fills BodyLines directly does
// that himself), then the RawBodyLines as they are, followed by what Compose added (separators,
// encoded or text attachments, the signature) with every leading "." already doubled. Without
// Compose the body is BodyLines.
class TNewsArticle : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString From MEMBER From)
    Q_PROPERTY(QString Newsgroups MEMBER Newsgroups)
    Q_PROPERTY(QString Organization MEMBER Organization)
    Q_PROPERTY(QString ReplyTo MEMBER ReplyTo)
    Q_PROPERTY(QString SignatureFile MEMBER SignatureFile)
    Q_PROPERTY(QString Subject MEMBER Subject)

public:
    explicit TNewsArticle(QObject* parent = nullptr);
    ~TNewsArticle() override;

    QString From;
    QString Newsgroups; // group names separated by commas
    QString Organization;
    QString ReplyTo;
    QString SignatureFile;
    QString Subject;

    // Complete header lines in sending order; the Newsgroups header is not among them.
    QStringList HeaderLines;
    // Lines placed by the caller, without line ends; sent as UTF-8. Use AddBodyLine to place
    // a line with the leading-dot rule applied.
    QStringList BodyLines;
    // Lines placed as bytes, sent unchanged after BodyLines (no UTF-8 round trip, so text in
    // any encoding goes out as it is); the caller applies the leading-dot rule.
    TByteLines RawBodyLines;
    QStringList Attachments;
    // How Compose encodes a binary attachment; a yEnc file goes in one piece.
    TBodyEncoding Encoding = TBodyEncoding::UUEncode;
    // The charset Compose declares for 8-bit text that is not valid UTF-8.
    QString FallbackCharset = QStringLiteral("ISO-8859-1");
    // Why the last Compose, OpenBody or NextBodyLine failed.
    QString ErrorText;

    // Empties From, Subject, Newsgroups, the four lists and what Compose recorded, and sets
    // Encoding back to uuencoding; Organization, ReplyTo, SignatureFile and ErrorText keep
    // their values.
    void Clear();
    int AddFile(const QString& path);
    void AddHeader(const QString& line);
    int HeaderCount() const;
    QString GetHeader(int index) const;
    // Appends the line to BodyLines with one more "." in front when it begins with ".".
    void AddBodyLine(const QString& line);

    static bool NeedsEncoding(const QString& path);
    // The MIME header lines of a plain text body in the given charset; none for an empty
    // charset (ASCII text goes out as it always did).
    static QStringList CharsetHeaders(const QString& charset);
    // A new, empty, uniquely named file "qv..." in the temporary folder; empty on failure.
    static QString TempFileName();
    // Appends the uuencoded file, framed by "begin 644 name" and "end", to BodyLines. Holds
    // the whole encoded file in memory: for small files only; Compose streams instead.
    // Throws EUUCode when the file cannot be read or the temporary file written.
    void EncodeFile(const QString& path, const QString& tempPath);

    // Checks the article, adds the From, Subject, Organization and Reply-To header lines (and
    // the MIME lines when the text has 8-bit bytes) and records the body (attachments,
    // signature). False with ErrorText set when the article is
    // incomplete or a file cannot be read.
    bool Compose();
    // Compose, with an exception on the way (memory, a file system fault) turned into a
    // failure with ErrorText set.
    bool TryCompose();

    // Total number of body lines, known before the first is read; a yEnc attachment counts
    // as if no byte were escaped, so its body may run a few lines longer.
    qint64 BodyLineCount() const;
    // (Re)starts reading the body from its first line and clears ErrorText, so that after a
    // false from NextBodyLine an empty ErrorText means the end; false with ErrorText set
    // when the body cannot be read.
    bool OpenBody();
    // The next body line without line end, valid until the next call or change. False at
    // the end of the body, or on a read failure (a file that vanished or changed size) with
    // ErrorText set: check ErrorText.
    bool NextBodyLine(QByteArrayView& line);
    // Up to maxLines next body lines at once, already as they go on the wire (each with its
    // CR LF), when they can be had that way; returns how many lines the block holds, 0 when
    // the next line must be pulled with NextBodyLine. The block is valid until a change.
    qint64 NextWireLines(qint64 maxLines, QByteArrayView& block);

private:
    bool composeAttachment(const QString& path, qint64 linesSoFar);
    bool composeSignature();
    void declareCharset();

    std::vector<std::unique_ptr<TBodySegment>> m_segments;
    QByteArray m_line; // the line last pulled, where it is not held elsewhere already
    qsizetype m_placed = 0;
    std::size_t m_current = 0;
    bool m_open = false;
};
