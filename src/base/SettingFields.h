#pragma once

#include "base/ProfileSettings.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <variant>

class TSettingsStore;

// One setting of a profile as it is stored, read, saved, shown and changed, named as it is
// stored, so "profile set MaxLines 5000" means what the settings file says.
struct TSettingField
{
    using TMember = std::variant<QString ProfileSettings::*, bool ProfileSettings::*,
                                 qint16 ProfileSettings::*, qint32 ProfileSettings::*>;

    struct TRange
    {
        qint64 Lowest;
        qint64 Highest;
    };

    QString Name;
    TMember Member;
    bool Secret = false; // scrambled in the store, shown masked
    // The values a number takes when fewer than its type holds (0 and up for a time-out).
    std::optional<TRange> Range;

    // The shown value ("(set)" or "(not set)" for a password).
    QString Text(const ProfileSettings& settings) const;
    // The words the setting takes, when it takes only a few; empty otherwise.
    QStringList Choices() const;
    // The lowest and highest value a number takes: its Range, else its type's.
    TRange Bounds() const;
    // Parses and stores value; returns an error text naming what the setting takes, empty on
    // success.
    QString Assign(ProfileSettings& settings, const QString& value) const;

    // Reads the stored value into settings, def's value where there is none; a password is
    // unscrambled.
    void Read(const TSettingsStore& store, const QString& key, ProfileSettings& settings,
              const ProfileSettings& def) const;
    // Writes the value of settings; scramble turns a password into its stored form.
    void Write(TSettingsStore& store, const QString& key, const ProfileSettings& settings,
               const std::function<QString(const QString&)>& scramble) const;

    // Whether a and b hold the same value of this setting.
    bool Same(const ProfileSettings& a, const ProfileSettings& b) const;

    template <typename T> bool Is(T ProfileSettings::*member) const
    {
        const auto* own = std::get_if<T ProfileSettings::*>(&Member);
        return own && *own == member;
    }
};

// Every setting, in the order the settings are stored.
const QList<TSettingField>& SettingFields();
// The setting of that name, regardless of case; nullptr when there is none.
const TSettingField* FindSettingField(const QString& name);
