#include "upload/RecoverySetting.h"

#include "base/CommaText.h"
#include "base/SettingFields.h"

TRecoverySetting TRecoverySetting::FromSettings(const ProfileSettings& s)
{
    return {s.Par2Percent, s.Par2Files, s.Par2FileMB};
}

QString TRecoverySetting::Write() const
{
    if (!IsSet())
        return QString();
    return CommaText::Write(
        {QString::number(Percent), QString::number(FileCount), QString::number(FileMB)});
}

std::optional<TRecoverySetting> TRecoverySetting::Read(const QString& field, QString* error)
{
    TRecoverySetting setting;
    if (field.isEmpty())
        return setting;
    // Each value within the bounds of the profile setting it was copied from.
    const QStringList values = CommaText::Read(field);
    const char* const names[] = {"Par2Percent", "Par2Files", "Par2FileMB"};
    int* const members[] = {&setting.Percent, &setting.FileCount, &setting.FileMB};
    for (int i = 0; i < 3; ++i) {
        const TSettingField::TRange range = FindSettingField(QLatin1String(names[i]))->Bounds();
        bool ok = values.size() == 3;
        const qlonglong value = values.value(i).toLongLong(&ok);
        if (!ok || values.size() != 3 || value < range.Lowest || value > range.Highest ||
            (i == 0 && value == 0)) {
            *error = QStringLiteral("The task's recovery setting \"%1\" is not per cent (1 to "
                                    "100), number of files and MB per file")
                         .arg(field);
            return std::nullopt;
        }
        *members[i] = int(value);
    }
    return setting;
}
