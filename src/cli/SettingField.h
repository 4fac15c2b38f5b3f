#pragma once

#include "base/ProfileSettings.h"

#include <QList>
#include <QString>
#include <variant>

// One setting of a profile as the command line shows and changes it, named as it is
// stored, so "profile set MaxLines 5000" means what the settings file says.
struct TSettingField
{
    using TMember = std::variant<QString ProfileSettings::*, bool ProfileSettings::*,
                                 qint16 ProfileSettings::*, qint32 ProfileSettings::*>;

    QString Name;
    TMember Member;
    bool Secret = false; // shown masked, changed only by "profile set-password"

    QString Text(const ProfileSettings& settings) const;
    // Parses and stores value; returns an error text, empty on success.
    QString Assign(ProfileSettings& settings, const QString& value) const;
};

// Every setting, in the order the settings are stored.
const QList<TSettingField>& SettingFields();
// The setting of that name, regardless of case; nullptr when there is none.
const TSettingField* FindSettingField(const QString& name);
