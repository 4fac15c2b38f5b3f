#pragma once

#include <QString>

#include <stdexcept>

// Raised by TUUCode for misuse (a missing file name) and for files it cannot read or write.
class EUUCode : public std::runtime_error
{
public:
    explicit EUUCode(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }

    QString Message() const { return m_message; }

private:
    QString m_message;
};
