#pragma once

#include <QtGlobal>

// The NNTP client's state. The stored value picks how a received line is handled and which
// time-out text applies; some values are only reported (csLoggingIn, csComposing) and two
// only keep their places (csClosing, csSpare).
enum TClientStatus : quint8
{
    csIdle = 0,
    csLookingUp = 1,
    csConnecting = 2,
    csClosing = 3,
    csSpare = 4,
    csListSent = 5,
    csReceivingList = 6,
    csNewGroupsSent = 7,
    csReceivingNewGroups = 8,
    csUserSent = 9,
    csPassSent = 10,
    csLoggingIn = 11,
    csComposing = 12,
    csPostSent = 13,
    csSendingArticle = 14,
    csArticleSent = 15,
    csStatSent = 16,
    csBodySent = 17,
    csReceivingBody = 18,
    csCapabilitiesSent = 19,
    csReceivingCapabilities = 20,
};
