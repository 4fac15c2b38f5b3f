#include "article/YEncBody.h"

#include "codec/Crc32.h"

#include <QFileInfo>

#include <cstring>

namespace {

constexpr qint64 BlockBytes = 256 * 1024;

} // namespace

TYEncBody::TYEncBody(const QString& path, qint64 partBytes)
    : m_path(path), m_file(path), m_size(TLocalFile::Info(path).Size),
      // An empty file has no byte for a part to begin at: it goes in one piece.
      m_partBytes(m_size > 0 ? qMax<qint64>(0, partBytes) : 0),
      m_parts(PartCountFor(m_size, m_partBytes))
{
}

qint64 TYEncBody::PartCountFor(qint64 size, qint64 partBytes)
{
    if (partBytes <= 0 || size <= partBytes)
        return 1;
    return (size + partBytes - 1) / partBytes;
}

YEnc::TPart TYEncBody::currentPart() const
{
    YEnc::TPart part;
    part.name = TLocalFile::Shown(QFileInfo(m_path).fileName());
    part.fileSize = m_size;
    if (m_partBytes <= 0) {
        part.size = m_size;
        return part;
    }
    part.number = int(m_part + 1); // at most MaxParts: the upload refuses more
    part.total = int(m_parts);
    part.begin = m_part * m_partBytes;
    part.size = qMin(m_partBytes, m_size - part.begin);
    return part;
}

qint64 TYEncBody::LineCount() const
{
    const qint64 size = currentPart().size;
    const qint64 dataLines = (size + YEnc::LineLength - 1) / YEnc::LineLength;
    return (m_partBytes > 0 ? 2 : 1) + dataLines + 1;
}

bool TYEncBody::Open()
{
    clearFault();
    m_part = 0;
    m_fileCrc = 0;
    m_phase = TPhase::Done;
    if (!openFile(m_file, m_size))
        return false;
    startPart();
    return true;
}

bool TYEncBody::OpenPart(qint64 part, quint32 fileCrcBefore)
{
    if (!Open())
        return false;
    if (part < 1 || part > m_parts)
        return fail(TBodyFault::Changed);
    m_part = part - 1;
    m_fileCrc = fileCrcBefore;
    if (!m_file.seek(currentPart().begin))
        return fail(TBodyFault::Read, m_file.errorString());
    startPart();
    return true;
}

void TYEncBody::startPart()
{
    const YEnc::TPart part = currentPart();
    m_head = YEnc::BeginLines(part, "\n").split('\n');
    m_head.removeLast(); // after the last line end
    m_headIndex = 0;
    m_encoder.Reset();
    m_partLeft = part.size;
    m_encoded = false;
    m_out.clear();
    m_outPos = 0;
    m_phase = TPhase::Head;
}

bool TYEncBody::NextPart()
{
    if (Fault() != TBodyFault::None || m_phase != TPhase::Done || m_part + 1 >= m_parts)
        return false;
    m_fileCrc = Crc32::Combine(m_fileCrc, m_encoder.Crc(), m_encoder.Size());
    ++m_part;
    startPart();
    return true;
}

bool TYEncBody::take(QByteArrayView& view)
{
    if (Fault() != TBodyFault::None)
        return false;
    switch (m_phase) {
    case TPhase::Head:
        view = m_head.at(m_headIndex++);
        if (m_headIndex >= m_head.size())
            m_phase = TPhase::Data;
        return true;
    case TPhase::Data:
        if (dataLine(view))
            return true;
        if (Fault() != TBodyFault::None)
            return false;
        m_line = endLine();
        view = m_line;
        m_phase = TPhase::Done;
        return true;
    case TPhase::Done:
        break;
    }
    return false;
}

bool TYEncBody::dataLine(QByteArrayView& view)
{
    for (;;) {
        const char* begin = m_out.constData() + m_outPos;
        const auto* end =
            static_cast<const char*>(std::memchr(begin, '\n', size_t(m_out.size() - m_outPos)));
        if (end) {
            view = QByteArrayView(begin, end - begin);
            m_outPos = end + 1 - m_out.constData();
            // A control character at the end of a line would be trimmed on the wire; escaped
            // it stays. Escape pairs end in a byte above 63, so this one stands alone.
            if (!view.isEmpty() && uchar(view.back()) < ' ') {
                m_line = view.chopped(1).toByteArray();
                m_line += '=';
                m_line += char(uchar(view.back()) + 64);
                view = m_line;
            }
            return true;
        }
        if (m_encoded || !encodeBlock())
            return false;
    }
}

bool TYEncBody::encodeBlock()
{
    const qint64 want = qMin(BlockBytes, m_partLeft);
    if (want > 0 && !readFully(m_file, m_in, want))
        return false;
    m_partLeft -= want;
    const bool last = m_partLeft == 0;
    // Keeps the unfinished line the last block left.
    m_out.remove(0, m_outPos);
    m_outPos = 0;
    const qsizetype kept = m_out.size();
    m_out.resize(kept + TYEncEncoder::MaxEncodedSize(want, 1));
    const auto* in = reinterpret_cast<const uchar*>(m_in.constData());
    m_out.resize(kept + m_encoder.Encode(in, want, m_out.data() + kept, last));
    m_encoded = last;
    if (last && currentPart().begin + currentPart().size == m_size && m_file.size() != m_size) {
        // A file still growing would go out cut short without a word.
        m_file.close();
        return fail(TBodyFault::Changed);
    }
    return true;
}

QByteArray TYEncBody::endLine()
{
    const YEnc::TPart part = currentPart();
    const quint32 partCrc = m_encoder.Crc();
    const bool endsFile = part.begin + part.size >= m_size;
    if (endsFile)
        m_file.close();
    const quint32 fileCrc = Crc32::Combine(m_fileCrc, partCrc, part.size);
    return YEnc::EndLine(part, partCrc, endsFile ? std::optional<quint32>(fileCrc) : std::nullopt,
                         "");
}
