#pragma once

#include <QString>

#include <stdexcept>

// Misuse of a buffered socket: a size that would lose data, a block that does not fit.
class EBufferedSocketException : public std::runtime_error
{
public:
    explicit EBufferedSocketException(const QString& message)
        : std::runtime_error(message.toStdString())
    {
    }
};
