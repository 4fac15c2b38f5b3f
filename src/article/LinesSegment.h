#pragma once

#include "article/BodySegment.h"

#include <QByteArrayList>

// Lines given up front, sent as they are (an empty separator line, for one).
class TLinesSegment : public TBodySegment
{
public:
    explicit TLinesSegment(QByteArrayList lines) : m_lines(std::move(lines)) {}

    qint64 LineCount() const override { return m_lines.size(); }
    bool Open(QString& error) override;
    bool Next(QByteArray& line, QString& error) override;

private:
    QByteArrayList m_lines;
    qsizetype m_next = 0;
};
