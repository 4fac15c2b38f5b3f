#pragma once

#include <QDateTime>
#include <QtGlobal>

// The wall clock and the millisecond tick counter, behind an interface so tests can
// pin time stamps and scrambled-password filler.
class TClock
{
public:
    virtual ~TClock() = default;
    virtual QDateTime Now() const;
    virtual quint64 TickCount() const;

    static TClock& System();
};
