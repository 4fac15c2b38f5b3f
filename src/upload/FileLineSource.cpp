#include "upload/FileLineSource.h"

#include "article/WireLine.h"

bool TFileLineSource::Open(const QString& path, bool encode, TBodyEncoding encoding,
                           qint64 partBytes)
{
    m_path = path;
    m_index = 0;
    m_errorText.clear();
    m_encoded.reset();
    m_charset = {};
    if (encode) {
        m_encoded = TEncodedBody::Create(encoding, path, partBytes);
        return m_encoded->Open() || encodedFailed();
    }
    QString error;
    if (!TTextLineReader::CountLines(path, m_lineCount, &error, &m_charset))
        return fail(error);
    if (!m_text.Open(path))
        return fail(m_text.ErrorText());
    return true;
}

bool TFileLineSource::fail(const QString& text)
{
    m_errorText = text;
    return false;
}

// Worded as an upload words it.
bool TFileLineSource::encodedFailed()
{
    switch (m_encoded->Fault()) {
    case TBodyFault::None:
        return false;
    case TBodyFault::Open:
        return fail(
            QStringLiteral("Cannot open the file %1: %2").arg(m_path, m_encoded->FaultDetail()));
    case TBodyFault::Read:
        return fail(
            QStringLiteral("Cannot read the file %1: %2").arg(m_path, m_encoded->FaultDetail()));
    case TBodyFault::Changed:
        break;
    }
    return fail(QStringLiteral("The file %1 changed while it was being posted").arg(m_path));
}

bool TFileLineSource::Next(QByteArray& line)
{
    if (m_encoded)
        return m_encoded->Next(line) || encodedFailed();
    if (!m_errorText.isEmpty() || m_index >= m_lineCount)
        return false;
    if (!m_text.Next(line)) {
        // The count was taken from the same file a moment ago: fewer lines now means it
        // changed under us, and the subject lines would lie about the parts.
        return fail(
            m_text.ErrorText().isEmpty()
                ? QStringLiteral("The file %1 changed while it was being posted").arg(m_path)
                : m_text.ErrorText());
    }
    WireLine::StuffDot(line);
    ++m_index;
    return true;
}

qint64 TFileLineSource::AppendFullLines(TByteLines& lines, qint64 max)
{
    if (!m_encoded)
        return 0;
    const qint64 count = m_encoded->AppendFullLines(lines, max);
    if (count < 0)
        encodedFailed();
    return count;
}

bool TFileLineSource::AppendNext(TByteLines& lines)
{
    if (m_encoded)
        return m_encoded->AppendNext(lines) || encodedFailed();
    QByteArray bytes;
    if (!Next(bytes))
        return false;
    lines.Append(bytes);
    return true;
}
