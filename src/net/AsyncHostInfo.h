#pragma once

#include <QString>
#include <QStringList>

// One pending asynchronous name lookup: its handle and, once complete, the error code of the
// socket error table (0 on success) and the addresses found, IPv6 and IPv4 as numeric text in
// the order the resolver gave them (Address is the first).
struct TAsyncHostInfo
{
    int Handle = -1;
    int ErrorCode = 0;
    QString Address;
    QStringList Addresses;
    bool Complete = false;
};
