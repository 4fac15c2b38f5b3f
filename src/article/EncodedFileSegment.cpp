#include "article/EncodedFileSegment.h"

TEncodedFileSegment::TEncodedFileSegment(const QString& path, TBodyEncoding encoding)
    : m_path(path), m_body(TEncodedBody::Create(encoding, path))
{
}

bool TEncodedFileSegment::Check(QString& error)
{
    if (!Open(error))
        return false;
    m_body->Close();
    return true;
}

bool TEncodedFileSegment::Open(QString& error)
{
    if (m_body->Open())
        return true;
    error = faultText();
    return false;
}

bool TEncodedFileSegment::Next(QByteArray& line, QString& error)
{
    if (m_body->Next(line))
        return true;
    if (m_body->Fault() != TBodyFault::None)
        error = faultText();
    return false;
}

QString TEncodedFileSegment::faultText() const
{
    switch (m_body->Fault()) {
    case TBodyFault::Changed:
        return QStringLiteral("The file %1 changed while it was being sent").arg(m_path);
    case TBodyFault::Open:
    case TBodyFault::Read:
    case TBodyFault::None:
        break;
    }
    return QStringLiteral("Cannot read the file %1: %2").arg(m_path, m_body->FaultDetail());
}
