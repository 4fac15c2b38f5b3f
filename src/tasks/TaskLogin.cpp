#include "tasks/TaskLogin.h"

#include "base/ProfileSettings.h"
#include "tasks/TaskFields.h"

namespace {

bool SameServer(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The upload's "user,password" field: the user name ends at the first comma.
QString UploadUser(const TTask& task)
{
    return UploadFields(task).Login.section(QLatin1Char(','), 0, 0);
}

// Whether the task logs in (or dials) as the profile does: then the profile's password is
// the one it uses.
bool LogsInAsProfile(const TTask& task, const ProfileSettings& s)
{
    switch (task.Kind) {
    case tkUpload: {
        const TUploadFields<const TTask> upload = UploadFields(task);
        return upload.LoginRequired && SameServer(upload.Server, s.Host) &&
               UploadUser(task) == s.UserID;
    }
    case tkGroupDownload:
    case tkNewGroups: {
        const TGroupTaskFields<const TTask> group = GroupTaskFields(task);
        return group.LoginRequired && SameServer(group.Server, s.Host) &&
               group.UserName == s.UserID;
    }
    case tkDialUp: {
        const TDialFields<const TTask> dial = DialFields(task);
        return dial.Connection == s.RASConnection && dial.UserName == s.RASUserName;
    }
    default:
        return false;
    }
}

void SetTaskPassword(TTask& task, const QString& password)
{
    if (task.Kind == tkUpload)
        UploadFields(task).Login = UploadUser(task) + QLatin1Char(',') + password;
    else if (task.Kind == tkDialUp)
        DialFields(task).Password = password;
    else
        GroupTaskFields(task).Password = password;
}

const QString& ProfilePassword(const TTask& task, const ProfileSettings& s)
{
    return task.Kind == tkDialUp ? s.RASPassword : s.Password;
}

} // namespace

void TakeProfilePassword(TTask& task, const ProfileSettings& settings)
{
    const QString& password = ProfilePassword(task, settings);
    if (!password.isEmpty() && LogsInAsProfile(task, settings))
        SetTaskPassword(task, password);
}

TTask WithoutProfilePassword(const TTask& task, const ProfileSettings& settings,
                             const TKeyringPasswords& keyring)
{
    TTask kept = task;
    const QString& held = task.Kind == tkDialUp ? keyring.DialUp : keyring.NewsServer;
    // Whatever password such a task holds, it runs with the profile's.
    if (!held.isEmpty() && LogsInAsProfile(task, settings))
        SetTaskPassword(kept, QString());
    return kept;
}
