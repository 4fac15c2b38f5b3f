#include "dialup/RasTexts.h"

#include <QHash>
#include <QStringList>

namespace RasTexts {
QString StateText(int state, const QString& disconnectText)
{
    static const QHash<int, QString> texts{
        {0, "Open Port"},
        {1, "Port opened"},
        {2, "Connect device"},
        {3, "Device connected"},
        {4, "All devices connected"},
        {5, "Authenticate"},
        {6, "Authenticate Notify"},
        {7, "Authenticate Retry"},
        {8, "Authenticate Callback"},
        {9, "Authenticate Change Password"},
        {10, "Authenticate Project"},
        {11, "Authenticate Link Speed"},
        {12, "Authenticate Acknowledge"},
        {13, "Reauthenticate"},
        {14, "Authenticated"},
        {15, "Prepare for Callback"},
        {16, "Wait for modem reset"},
        {17, "Wait for Callback"},
        {18, "Projected"},
        {19, "Start Authentication"},
        {20, "Callback complete"},
        {21, "Logon Network"},
        {4096, "Paused / Interactive"},
        {4097, "Retry Authentication"},
        {4098, "Callback Set by Caller"},
        {4099, "Password expired"},
        {StateConnected, "Done / Connected"},
    };
    if (state == StateDisconnected)
        return disconnectText;
    return texts.value(state);
}

QString ReasonText(int reason)
{
    static const QHash<int, QString> texts{
        {0, "The connection closed for an unknown reason"},
        {1, "The connection closed without a reason"},
        {2, "The connection was closed by the user"},
        {3, "The device was disconnected"},
        {4, "The VPN service stopped"},
        {5, "The IP configuration was not valid"},
        {6, "The connection attempt timed out"},
        {7, "The VPN service did not start in time"},
        {8, "The VPN service failed to start"},
        {9, "No password or other secret was available"},
        {10, "Login failed"},
        {11, "The connection profile was deleted"},
        {12, "A connection this one depends on failed"},
        {13, "The device could not be created"},
        {14, "The device was removed"},
    };
    const auto it = texts.constFind(reason);
    if (it != texts.constEnd())
        return it.value();
    return QStringLiteral("The connection closed (reason %1)").arg(reason);
}

bool IsDialUpKind(const QString& kind)
{
    static const QStringList kinds{"pppoe", "adsl", "gsm", "cdma", "bluetooth", "vpn", "wireguard"};
    return kinds.contains(kind);
}
} // namespace RasTexts
