#include "app/DesktopAppearance.h"

#include <QDBusMessage>
#include <QDBusVariant>

namespace {

// The portal's answer: 1 prefers dark, 2 prefers light, 0 (or no portal) no preference.
std::optional<uint> PortalColorScheme(const QDBusConnection& bus)
{
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage read = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"),
        QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
    read << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme");
    // Asked once at start-up; a portal that does not answer soon is taken as none.
    const QDBusMessage reply = bus.call(read, QDBus::Block, 1000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    // Read wraps the value in a variant once more than ReadOne does.
    QVariant value = reply.arguments().constFirst();
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint scheme = value.toUInt(&ok);
    return ok ? std::optional<uint>(scheme) : std::nullopt;
}

} // namespace

std::optional<bool> DesktopAppearance::PrefersDark(const QDBusConnection& bus)
{
    const std::optional<uint> scheme = PortalColorScheme(bus);
    if (scheme == 1u)
        return true;
    if (scheme == 2u)
        return false;
    if (qEnvironmentVariable("GTK_THEME").contains(QStringLiteral("dark"), Qt::CaseInsensitive))
        return true;
    return std::nullopt;
}
