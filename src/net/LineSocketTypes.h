#pragma once

#include <QByteArray>

enum TLineSocketType
{
    lstCR = 0,
    lstLF = 1,
    lstCRLF = 2,
};

// Bits of the line options.
enum TLineSocketOptions
{
    lsoAddLineChars = 1 << 0,        // writing a line appends the terminator
    lsoAutoFlushAfterWrite = 1 << 1, // a successful line write flushes at once
    lsoReturnLineChars = 1 << 2,     // a received line keeps its terminator
    lsoLineReceivedEvents = 1 << 3,  // received data is split into lines, one event each
};
using TLineSocketOptionsSet = int;

constexpr TLineSocketOptionsSet DefaultLineOptions =
    lsoAddLineChars | lsoAutoFlushAfterWrite | lsoLineReceivedEvents;

inline QByteArray LineTerminator(TLineSocketType type)
{
    switch (type) {
    case lstCR:
        return QByteArray("\r");
    case lstLF:
        return QByteArray("\n");
    case lstCRLF:
        break;
    }
    return QByteArray("\r\n");
}
