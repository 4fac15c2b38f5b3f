#pragma once

#include "base/ProfileSettings.h"

#include <QString>

#include <optional>

// The PAR2 recovery set an upload task's file gets: Percent of its size as recovery data, in
// FileCount files, or in as many files as keep each within FileMB (which decides when both are
// set); neither: as par2 divides it. Percent 0: no recovery files, the file posts alone.
struct TRecoverySetting
{
    int Percent = 0;
    int FileCount = 0;
    int FileMB = 0;

    bool IsSet() const { return Percent > 0; }
    static TRecoverySetting FromSettings(const ProfileSettings& s);

    // The task's field: "percent,files,MB", empty for none.
    QString Write() const;
    // Reads a task's field; nothing (and why in *error) for a value the setting cannot take.
    static std::optional<TRecoverySetting> Read(const QString& field, QString* error);

    bool operator==(const TRecoverySetting&) const = default;
};
