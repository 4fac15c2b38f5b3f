#pragma once

#include "upload/FileLineSource.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <utility>

// Every body line of one upload, in posting order, part by part: the include text opens the
// first part, then come the file's lines (encoded or as text), and the signature closes the
// last part. Uuencoded and text files are this sequence cut into pieces of at most MaxLines
// lines, so every line is posted exactly once and the count of parts known up front is the
// count actually posted. A yEnc file frames its own parts, MaxLines lines of 128 bytes of the
// file each, so that every part decodes on its own. All lines follow the dot rule.
class TUploadLines
{
public:
    // signaturePath: empty, or a file that exists. maxLines: lines per part, 0 for one
    // article. False with ErrorText set when the file or the signature cannot be read.
    bool Open(const QStringList& includeLines, const QString& path, bool encode,
              const QString& signaturePath, TBodyEncoding encoding, qint64 maxLines);
    // True when the upload goes as one article rather than a series.
    bool OneArticle() const;
    qint64 PartCount() const;
    // Makes room in lines for the current part.
    void ReservePart(TByteLines& lines) const;
    // Appends up to max more lines of the current part as they go on the wire (text lines
    // keep their bytes, whatever their encoding); full encoded lines go in bulk. False on a
    // failure with ErrorText set.
    bool AppendPart(TByteLines& lines, qint64 max);
    bool PartDone() const;
    // The file's bytes the current part carries, from 1, as far as it has been read: 0, 0
    // when it carries none, or when the file frames its own parts (yEnc parts say theirs).
    std::pair<qint64, qint64> PartRange() const;
    // Goes on to the next part once this one is done; false after the last.
    bool NextPart();
    const QString& ErrorText() const { return m_errorText; }
    // The file's reads go to sink as well (an encoded file's).
    void SetSink(const std::shared_ptr<TByteSink>& sink) { m_file.SetSink(sink); }
    // What the include text, a text file and the signature need declared, together.
    const TTextCharset& Charset() const { return m_charset; }

private:
    qint64 totalLines() const
    {
        return m_include.size() + m_file.LineCount() + m_signature.LineCount();
    }
    qint64 partLines() const;
    bool appendLines(TByteLines& lines, qint64 count);
    bool appendNext(TByteLines& lines);
    bool appendOwnPart(TByteLines& lines, qint64 max);
    bool takeOwnLine(TByteLines& lines);
    TFileLineSource& currentSource();

    QByteArrayList m_include;
    TFileLineSource m_file;
    TFileLineSource m_signature;
    qint64 m_maxLines = 0;
    bool m_ownParts = false; // yEnc: the file frames its parts
    TTextCharset m_charset;
    QString m_errorText;
    // Cut by lines: lines given, and where the current part ends.
    qint64 m_given = 0;
    qint64 m_partEnd = 0;
    qint64 m_partBegin = 0; // the file's bytes before the current part
    // Parts of their own: the current one, from 1, and how far it is.
    qint64 m_part = 1;
    qsizetype m_includeGiven = 0;
    bool m_fileDone = false;
    bool m_signatureDone = false;
};
