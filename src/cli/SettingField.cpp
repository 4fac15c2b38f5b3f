#include "cli/SettingField.h"

#include <limits>

namespace {

std::optional<bool> parseBool(const QString& text)
{
    const QString t = text.trimmed().toLower();
    for (const char* yes : {"1", "y", "yes", "true", "on"})
        if (t == QLatin1String(yes))
            return true;
    for (const char* no : {"0", "n", "no", "false", "off"})
        if (t == QLatin1String(no))
            return false;
    return std::nullopt;
}

template <typename Int> QString assignInt(Int& target, const QString& name, const QString& value)
{
    bool ok = false;
    const qlonglong n = value.trimmed().toLongLong(&ok);
    if (!ok || n < std::numeric_limits<Int>::min() || n > std::numeric_limits<Int>::max())
        return QStringLiteral("%1 takes a whole number from %2 to %3, not '%4'")
            .arg(name, QString::number(std::numeric_limits<Int>::min()),
                 QString::number(std::numeric_limits<Int>::max()), value);
    target = Int(n);
    return QString();
}

TSettingField field(const char* name, TSettingField::TMember member, bool secret = false)
{
    return {QLatin1String(name), member, secret};
}

} // namespace

QString TSettingField::Text(const ProfileSettings& s) const
{
    return std::visit(
        [&](auto member) -> QString {
            const auto& value = s.*member;
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, QString>)
                return Secret ? (value.isEmpty() ? QStringLiteral("(not set)")
                                                 : QStringLiteral("(set)"))
                              : value;
            else if constexpr (std::is_same_v<T, bool>)
                return value ? QStringLiteral("1") : QStringLiteral("0");
            else
                return QString::number(value);
        },
        Member);
}

QString TSettingField::Assign(ProfileSettings& s, const QString& value) const
{
    return std::visit(
        [&](auto member) -> QString {
            auto& target = s.*member;
            using T = std::decay_t<decltype(target)>;
            if constexpr (std::is_same_v<T, QString>) {
                target = value;
                return QString();
            } else if constexpr (std::is_same_v<T, bool>) {
                const std::optional<bool> b = parseBool(value);
                if (!b)
                    return QStringLiteral("%1 takes 1 or 0 (yes/no, on/off), not '%2'")
                        .arg(Name, value);
                target = *b;
                return QString();
            } else {
                return assignInt(target, Name, value);
            }
        },
        Member);
}

const QList<TSettingField>& SettingFields()
{
    using P = ProfileSettings;
    static const QList<TSettingField> fields = {
        field("EmailAddress", &P::EmailAddress),
        field("FullName", &P::FullName),
        field("Organization", &P::Organization),
        field("ReplyTo", &P::ReplyTo),
        field("LoginRequired", &P::LoginRequired),
        field("UserID", &P::UserID),
        field("RememberPassword", &P::RememberPassword),
        field("Password", &P::Password, true),
        field("Host", &P::Host),
        field("Timeout", &P::Timeout),
        field("PostTimeout", &P::PostTimeout),
        field("DisconnectWhenDone", &P::DisconnectWhenDone),
        field("Template", &P::Template),
        field("LastSubject", &P::LastSubject),
        field("IncludeText", &P::IncludeText),
        field("SigFile", &P::SigFile),
        field("LastDir", &P::LastDir),
        field("CrossPost", &P::CrossPost),
        field("MaxLines", &P::MaxLines),
        field("LastUpdate", &P::LastUpdate),
        field("AutoStart", &P::AutoStart),
        field("RASOpenBefore", &P::RASOpenBefore),
        field("RASUseAnotherConnection", &P::RASUseAnotherConnection),
        field("RASConnection", &P::RASConnection),
        field("RASUserName", &P::RASUserName),
        field("RASPassword", &P::RASPassword, true),
        field("RASCloseConnectionAfter", &P::RASCloseConnectionAfter),
        field("SaveRasPassword", &P::SaveRasPassword),
    };
    return fields;
}

const TSettingField* FindSettingField(const QString& name)
{
    for (const TSettingField& f : SettingFields())
        if (f.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}
