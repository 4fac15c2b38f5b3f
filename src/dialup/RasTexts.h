#pragma once

#include <QString>

// The words shown for dial states and for the reasons NetworkManager gives when a
// connection closes.
namespace RasTexts {
constexpr int StateConnected = 8192;
constexpr int StateDisconnected = 8193;

// The text of a dial state; the disconnected state shows `disconnectText`, an unknown
// state shows nothing.
QString StateText(int state, const QString& disconnectText);

// NetworkManager's reason for closing a connection, in words.
QString ReasonText(int reason);

// Whether connections of this profile kind are dial-up lines (as opposed to the LAN or
// Wi-Fi, which a dial never replaces).
bool IsDialUpKind(const QString& kind);
} // namespace RasTexts
