#include "tasks/TaskLogin.h"

#include "base/ProfileSettings.h"
#include "tasks/TaskFields.h"

namespace {

bool SameServer(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The upload's "user,password" field: the user name ends at the first comma.
void TakeForUpload(TTask& task, const ProfileSettings& s)
{
    TUploadFields<TTask> upload = UploadFields(task);
    const QString user = upload.Login.section(QLatin1Char(','), 0, 0);
    if (upload.LoginRequired && SameServer(upload.Server, s.Host) && user == s.UserID)
        upload.Login = user + QLatin1Char(',') + s.Password;
}

void TakeForGroups(TTask& task, const ProfileSettings& s)
{
    TGroupTaskFields<TTask> group = GroupTaskFields(task);
    if (group.LoginRequired && SameServer(group.Server, s.Host) && group.UserName == s.UserID)
        group.Password = s.Password;
}

void TakeForDial(TTask& task, const ProfileSettings& s)
{
    TDialFields<TTask> dial = DialFields(task);
    if (!s.RASPassword.isEmpty() && dial.Connection == s.RASConnection &&
        dial.UserName == s.RASUserName)
        dial.Password = s.RASPassword;
}

} // namespace

void TakeProfilePassword(TTask& task, const ProfileSettings& settings)
{
    switch (task.Kind) {
    case tkUpload:
        if (!settings.Password.isEmpty())
            TakeForUpload(task, settings);
        break;
    case tkGroupDownload:
    case tkNewGroups:
        if (!settings.Password.isEmpty())
            TakeForGroups(task, settings);
        break;
    case tkDialUp:
        TakeForDial(task, settings);
        break;
    default:
        break;
    }
}
