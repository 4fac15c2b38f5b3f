#include "article/UploadLines.h"

bool TUploadLines::Open(const QStringList& includeLines, const QString& path, bool encode,
                        const QString& signaturePath)
{
    m_include.clear();
    for (const QString& line : includeLines)
        m_include.append(line.startsWith(QLatin1Char('.')) ? QLatin1Char('.') + line : line);
    m_given = 0;
    m_errorText.clear();
    m_hasSignature = !signaturePath.isEmpty();
    if (!m_file.Open(path, encode)) {
        m_errorText = m_file.ErrorText();
        return false;
    }
    if (m_hasSignature && !m_signature.Open(signaturePath, false)) {
        m_errorText = m_signature.ErrorText();
        return false;
    }
    return true;
}

bool TUploadLines::Next(QString& line)
{
    if (!m_errorText.isEmpty() || m_given >= Count())
        return false;
    const qint64 includeCount = m_include.size();
    if (m_given < includeCount) {
        line = m_include.at(m_given);
    } else {
        TFileLineSource& source =
            m_given < includeCount + m_file.LineCount() ? m_file : m_signature;
        QByteArray bytes;
        if (!source.Next(bytes)) {
            m_errorText = source.ErrorText();
            return false;
        }
        line = QString::fromUtf8(bytes);
    }
    ++m_given;
    return true;
}
