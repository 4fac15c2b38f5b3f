#pragma once

#include <QDBusConnection>

#include <optional>

// What the desktop says of its colours: the freedesktop settings portal's
// org.freedesktop.appearance color-scheme (GNOME, KDE Plasma and others answer it), else a
// GTK_THEME whose name says dark.
namespace DesktopAppearance {

// True for a dark preference, false for a light one; none when the desktop says neither.
std::optional<bool> PrefersDark(const QDBusConnection& bus = QDBusConnection::sessionBus());

} // namespace DesktopAppearance
