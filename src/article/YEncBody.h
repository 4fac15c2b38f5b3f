#pragma once

#include "article/EncodedBody.h"
#include "codec/LocalFile.h"
#include "codec/YEnc.h"
#include "codec/YEncEncoder.h"

#include <QByteArrayList>

// A file yEnc-encoded, read and encoded as its lines are taken. In one piece (partBytes 0):
// "=ybegin line=128 size=S name=NAME", the data lines, "=yend size=S crc32=C". In parts of
// partBytes bytes each (the last one shorter; an empty file goes in one piece), each part its
// own body: "=ybegin part=K total=N ...", "=ypart begin=B end=E", the part's data
// lines and "=yend size=PARTSIZE part=K pcrc32=P", the last part with the file's crc32= too.
// The parts are taken in order, so the file is read once and its CRC-32 summed part by part.
//
// Every line goes out as it is: the encoder escapes a leading "." and a trailing blank, and a
// line ending in another control character gets it escaped here, since the wire would trim it.
class TYEncBody : public TEncodedBody
{
public:
    TYEncBody(const QString& path, qint64 partBytes);

    // Parts are numbered in the =ybegin lines up to this; more are not made.
    static constexpr qint64 MaxParts = 999999;
    static qint64 PartCountFor(qint64 size, qint64 partBytes);

    // Counted as if no byte were escaped: the part may take a few lines more.
    qint64 LineCount() const override;
    // Starts again from the first line of the first part.
    bool Open() override;
    // Starts at part (from 1) instead, fileCrcBefore being the CRC-32 of the file's bytes
    // before it: one part made again alone, as it was when the file was posted.
    bool OpenPart(qint64 part, quint32 fileCrcBefore);
    void Close() override { m_file.close(); }
    // The lines vary in length; they are taken one at a time.
    qint64 AppendFullLines(TByteLines&, qint64) override { return 0; }
    qint64 PartCount() const override { return m_parts; }
    bool NextPart() override;

private:
    enum class TPhase
    {
        Head,
        Data,
        Done
    };

    bool take(QByteArrayView& view) override;
    YEnc::TPart currentPart() const;
    void startPart();
    bool dataLine(QByteArrayView& view);
    bool encodeBlock();
    QByteArray endLine();

    QString m_path;
    TLocalFile m_file;
    qint64 m_size = 0;
    qint64 m_partBytes = 0;
    qint64 m_parts = 1;

    qint64 m_part = 0; // from 0
    TPhase m_phase = TPhase::Done;
    QByteArrayList m_head;
    qsizetype m_headIndex = 0;
    TYEncEncoder m_encoder{"\n"};
    qint64 m_partLeft = 0;  // bytes of the part not yet read
    bool m_encoded = false; // the part's last byte is through the encoder
    quint32 m_fileCrc = 0;  // of the file before the current part
    QByteArray m_in;
    QByteArray m_out; // encoded lines, each ending in LF, from m_outPos
    qsizetype m_outPos = 0;
    QByteArray m_line; // the line handed out where it is not in m_out as it goes
};
