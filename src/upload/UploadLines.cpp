#include "upload/UploadLines.h"

#include "article/WireLine.h"

bool TUploadLines::Open(const QStringList& includeLines, const QString& path, bool encode,
                        const QString& signaturePath)
{
    m_include.clear();
    m_charset = {};
    for (const QString& line : includeLines) {
        QByteArray bytes = line.toUtf8();
        m_charset.AddLine(bytes);
        WireLine::StuffDot(bytes);
        m_include.append(bytes);
    }
    m_given = 0;
    m_errorText.clear();
    if (!m_file.Open(path, encode)) {
        m_errorText = m_file.ErrorText();
        return false;
    }
    m_charset.Merge(m_file.Charset());
    if (!signaturePath.isEmpty() && !m_signature.Open(signaturePath, false)) {
        m_errorText = m_signature.ErrorText();
        return false;
    }
    if (!signaturePath.isEmpty())
        m_charset.Merge(m_signature.Charset());
    return true;
}

bool TUploadLines::AppendLines(TByteLines& lines, qint64 count)
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
    if (!m_errorText.isEmpty() || m_given >= Count())
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
