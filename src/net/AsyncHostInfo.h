#pragma once

#include <QString>

// One pending asynchronous name lookup: its handle and, once complete, the error code of the
// socket error table (0 on success) and the address found as dotted-decimal text.
struct TAsyncHostInfo
{
    int Handle = -1;
    int ErrorCode = 0;
    QString Address;
    bool Complete = false;
};
