#include "base/SettingFields.h"

#include "base/PasswordScrambler.h"
#include "base/SettingsStore.h"

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

template <typename Int>
QString assignInt(Int& target, const TSettingField& field, const QString& value)
{
    const TSettingField::TRange bounds = field.Bounds();
    bool ok = false;
    const qlonglong n = value.trimmed().toLongLong(&ok);
    if (!ok || n < bounds.Lowest || n > bounds.Highest)
        return QStringLiteral("%1 takes a whole number from %2 to %3, not '%4'")
            .arg(field.Name, QString::number(bounds.Lowest), QString::number(bounds.Highest),
                 value);
    target = Int(n);
    return QString();
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

TSettingField::TRange TSettingField::Bounds() const
{
    if (Range)
        return *Range;
    return std::visit(
        [](auto member) -> TRange {
            using T = std::decay_t<decltype(ProfileSettings().*member)>;
            if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>)
                return {std::numeric_limits<T>::min(), std::numeric_limits<T>::max()};
            else
                return {0, 0};
        },
        Member);
}

// Settings that take one of a few words.
QStringList TSettingField::Choices() const
{
    if (Name == QStringLiteral("Security"))
        return {QStringLiteral("none"), QStringLiteral("tls"), QStringLiteral("starttls")};
    if (Name == QStringLiteral("Encoding"))
        return {QStringLiteral("uuencode"), QStringLiteral("yenc")};
    if (Name == QStringLiteral("ServerRole"))
        return {QStringLiteral("post"), QStringLiteral("check"), QStringLiteral("both")};
    if (Name == QStringLiteral("WatchPosted"))
        return {QStringLiteral("move"), QStringLiteral("remember")};
    return {};
}

QString TSettingField::Assign(ProfileSettings& s, const QString& value) const
{
    if (const QStringList choices = Choices();
        !choices.isEmpty() && !choices.contains(value.toLower()))
        return QStringLiteral("%1 takes %2, not '%3'").arg(Name, choices.join(", "), value);
    return std::visit(
        [&](auto member) -> QString {
            auto& target = s.*member;
            using T = std::decay_t<decltype(target)>;
            if constexpr (std::is_same_v<T, QString>) {
                target = Choices().isEmpty() ? value : value.toLower();
                return QString();
            } else if constexpr (std::is_same_v<T, bool>) {
                const std::optional<bool> b = parseBool(value);
                if (!b)
                    return QStringLiteral("%1 takes 1 or 0 (yes/no, on/off), not '%2'")
                        .arg(Name, value);
                target = *b;
                return QString();
            } else {
                return assignInt(target, *this, value);
            }
        },
        Member);
}

void TSettingField::Read(const TSettingsStore& store, const QString& key, ProfileSettings& s,
                         const ProfileSettings& def) const
{
    std::visit(
        [&](auto member) {
            auto& target = s.*member;
            using T = std::decay_t<decltype(target)>;
            if constexpr (std::is_same_v<T, QString>) {
                if (!Secret) {
                    target = store.ReadString(key, Name, def.*member);
                    return;
                }
                const QString stored = store.ReadString(key, Name, QString());
                target = stored.isEmpty() ? QString() : PasswordScrambler::Unscramble(stored);
            } else if constexpr (std::is_same_v<T, bool>) {
                target = store.ReadBool(key, Name, def.*member);
            } else {
                target = T(store.ReadInteger(key, Name, def.*member));
            }
        },
        Member);
}

void TSettingField::Write(TSettingsStore& store, const QString& key, const ProfileSettings& s,
                          const std::function<QString(const QString&)>& scramble) const
{
    std::visit(
        [&](auto member) {
            const auto& value = s.*member;
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, QString>)
                store.WriteString(key, Name, Secret ? scramble(value) : value);
            else if constexpr (std::is_same_v<T, bool>)
                store.WriteBool(key, Name, value);
            else
                store.WriteInteger(key, Name, value);
        },
        Member);
}

bool TSettingField::Same(const ProfileSettings& a, const ProfileSettings& b) const
{
    return std::visit([&](auto member) { return a.*member == b.*member; }, Member);
}

const QList<TSettingField>& SettingFields()
{
    static const QList<TSettingField> fields = {
#define QUORVEL_SETTING_ENTRY(type, name, value, secret, ...)                                      \
    TSettingField{                                                                                 \
        QStringLiteral(#name), &ProfileSettings::name, secret,                                     \
        std::optional<TSettingField::TRange>(__VA_OPT__(TSettingField::TRange{__VA_ARGS__}))},
        QUORVEL_PROFILE_SETTINGS(QUORVEL_SETTING_ENTRY)
#undef QUORVEL_SETTING_ENTRY
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

ProfileSettings NewProfileSettings()
{
    ProfileSettings s;
    s.EmailAddress.clear();
    s.FullName.clear();
    s.Encoding = QStringLiteral("yenc");
    s.Template = QStringLiteral("%s - \"%f\" yEnc (%p/%t) %b");
    s.MaxLines = 5600;
    s.Connections = 4;
    s.CheckAfterPost = true;
    s.PostRetries = 2;
    return s;
}

QString FromLine(const ProfileSettings& s)
{
    if (s.EmailAddress.trimmed().isEmpty())
        return QString();
    if (s.FullName.trimmed().isEmpty())
        return s.EmailAddress;
    return QStringLiteral("%1 (%2)").arg(s.EmailAddress, s.FullName);
}
