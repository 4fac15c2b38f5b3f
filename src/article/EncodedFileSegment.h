#pragma once

#include "article/BodySegment.h"
#include "article/EncodedBody.h"

#include <memory>

// A binary file in the body in its encoding (TEncodedBody), encoded as it is read, so the
// file is never held whole.
class TEncodedFileSegment : public TBodySegment
{
public:
    // Takes the size now: it fixes the line count.
    explicit TEncodedFileSegment(const QString& path,
                                 TBodyEncoding encoding = TBodyEncoding::UUEncode);

    // False with error set when the file cannot be read.
    bool Check(QString& error);

    qint64 LineCount() const override { return m_body->LineCount(); }
    bool Open(QString& error) override;
    bool Next(QByteArray& line, QString& error) override;

private:
    QString faultText() const;

    QString m_path;
    std::unique_ptr<TEncodedBody> m_body;
};
