#include "upload/UploadLines.h"

#include "article/WireLine.h"
#include "article/YEncBody.h"
#include "codec/YEnc.h"

namespace {
// Bytes per line to reserve for a part: a full uuencoded line (61 characters) or a doubled
// dot; a yEnc line of 128 characters or one more.
constexpr qint64 UULineBytes = 62;
constexpr qint64 YEncLineBytes = YEnc::LineLength + 1;
} // namespace

bool TUploadLines::Open(const QStringList& includeLines, const QString& path, bool encode,
                        const QString& signaturePath, TBodyEncoding encoding, qint64 maxLines)
{
    m_include.clear();
    m_charset = {};
    for (const QString& line : includeLines) {
        QByteArray bytes = line.toUtf8();
        m_charset.AddLine(bytes);
        WireLine::StuffDot(bytes);
        m_include.append(bytes);
    }
    m_maxLines = maxLines;
    m_ownParts = encode && encoding == TBodyEncoding::YEnc;
    m_given = 0;
    m_partBegin = 0;
    m_part = 1;
    m_includeGiven = 0;
    m_fileDone = false;
    m_signatureDone = false;
    m_errorText.clear();
    const qint64 partBytes = m_ownParts ? qMax<qint64>(0, maxLines) * YEnc::LineLength : 0;
    if (!m_file.Open(path, encode, encoding, partBytes)) {
        m_errorText = m_file.ErrorText();
        return false;
    }
    if (m_ownParts && m_file.PartCount() > TYEncBody::MaxParts) {
        m_errorText = QStringLiteral("The file %1 would make more than %2 parts; allow more lines "
                                     "per part")
                          .arg(path)
                          .arg(TYEncBody::MaxParts);
        return false;
    }
    m_charset.Merge(m_file.Charset());
    if (!signaturePath.isEmpty() && !m_signature.Open(signaturePath, false)) {
        m_errorText = m_signature.ErrorText();
        return false;
    }
    m_partEnd = OneArticle() ? totalLines() : qMin(m_maxLines, totalLines());
    if (!signaturePath.isEmpty())
        m_charset.Merge(m_signature.Charset());
    return true;
}

bool TUploadLines::OneArticle() const
{
    if (m_ownParts)
        return m_file.PartCount() == 1;
    return m_maxLines <= 0 || totalLines() < m_maxLines;
}

qint64 TUploadLines::PartCount() const
{
    if (m_ownParts)
        return m_file.PartCount();
    return OneArticle() ? 1 : (totalLines() + m_maxLines - 1) / m_maxLines;
}

qint64 TUploadLines::partLines() const
{
    if (!m_ownParts)
        return m_partEnd - m_given;
    return (m_part == 1 ? m_include.size() : 0) + m_file.LineCount() +
           (m_part == m_file.PartCount() ? m_signature.LineCount() : 0);
}

void TUploadLines::ReservePart(TByteLines& lines) const
{
    const qint64 count = partLines();
    lines.Reserve(count, count * (m_ownParts ? YEncLineBytes : UULineBytes));
}

bool TUploadLines::AppendPart(TByteLines& lines, qint64 max)
{
    if (m_ownParts)
        return appendOwnPart(lines, max);
    const qint64 count = qMin(max, m_partEnd - m_given);
    return count <= 0 || appendLines(lines, count);
}

bool TUploadLines::PartDone() const
{
    if (!m_ownParts)
        return m_given >= m_partEnd;
    return m_fileDone && (m_part < m_file.PartCount() || m_signatureDone);
}

std::pair<qint64, qint64> TUploadLines::PartRange() const
{
    const qint64 done = m_ownParts ? -1 : m_file.BytesDone();
    if (done <= m_partBegin)
        return {0, 0};
    return {m_partBegin + 1, done};
}

bool TUploadLines::NextPart()
{
    if (!m_ownParts) {
        if (m_partEnd >= totalLines())
            return false;
        m_partBegin = qMax<qint64>(m_partBegin, m_file.BytesDone());
        m_partEnd = qMin(m_partEnd + m_maxLines, totalLines());
        return true;
    }
    if (!PartDone() || !m_file.NextPart())
        return false;
    ++m_part;
    m_fileDone = false;
    return true;
}

bool TUploadLines::appendOwnPart(TByteLines& lines, qint64 max)
{
    for (; max > 0; --max)
        if (!takeOwnLine(lines))
            break;
    return m_errorText.isEmpty();
}

// The include text, the part's lines, and after the last part the signature.
bool TUploadLines::takeOwnLine(TByteLines& lines)
{
    if (m_part == 1 && m_includeGiven < m_include.size()) {
        lines.Append(m_include.at(m_includeGiven++));
        return true;
    }
    if (!m_fileDone) {
        if (m_file.AppendNext(lines))
            return true;
        m_errorText = m_file.ErrorText();
        m_fileDone = m_errorText.isEmpty();
        if (!m_fileDone)
            return false;
    }
    if (m_part < m_file.PartCount() || m_signatureDone)
        return false;
    if (m_signature.AppendNext(lines))
        return true;
    m_errorText = m_signature.ErrorText();
    m_signatureDone = m_errorText.isEmpty();
    return false;
}

bool TUploadLines::appendLines(TByteLines& lines, qint64 count)
{
    while (count > 0) {
        const qint64 bulk = m_given >= m_include.size() && m_errorText.isEmpty()
                                ? currentSource().AppendFullLines(lines, count)
                                : 0;
        if (bulk < 0) {
            m_errorText = currentSource().ErrorText();
            return false;
        }
        if (bulk > 0) {
            m_given += bulk;
            count -= bulk;
            continue;
        }
        if (!appendNext(lines))
            return false;
        --count;
    }
    return true;
}

bool TUploadLines::appendNext(TByteLines& lines)
{
    if (!m_errorText.isEmpty() || m_given >= totalLines())
        return false;
    if (m_given < m_include.size()) {
        lines.Append(m_include.at(m_given));
    } else {
        TFileLineSource& source = currentSource();
        if (!source.AppendNext(lines)) {
            m_errorText = source.ErrorText();
            return false;
        }
    }
    ++m_given;
    return true;
}

TFileLineSource& TUploadLines::currentSource()
{
    return m_given < m_include.size() + m_file.LineCount() ? m_file : m_signature;
}
