#pragma once

#include <QByteArray>
#include <QString>

class TTextCharset;

// One stretch of a composed article body (placed lines, an encoded attachment, a text file),
// read a line at a time so that a body of any size is sent without being held.
class TBodySegment
{
public:
    virtual ~TBodySegment() = default;

    // Known before the first line is read.
    virtual qint64 LineCount() const = 0;
    // Starts again from the first line; false with error set when the source cannot be read.
    virtual bool Open(QString& error) = 0;
    // The next line without line end; false at the end, or with error set on a failure.
    virtual bool Next(QByteArray& line, QString& error) = 0;
    // Adds what this stretch's bytes need declared; encoded lines are plain ASCII.
    virtual void AddCharsetTo(TTextCharset&) const {}
};
