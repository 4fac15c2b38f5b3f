#pragma once

#include <QString>

struct ProfileSettings;
struct TTask;

// A saved task keeps the password it was queued with. When it runs against the current
// profile's server (or dial-up connection) as the profile's user, the profile's password is
// the one to use: the user may have corrected it in Setup since the task failed with the old
// one. The task takes it over, so a task saved again carries the corrected one.
void TakeProfilePassword(TTask& task, const ProfileSettings& settings);

// The profile's passwords that the desktop's keyring holds; empty where it holds none.
struct TKeyringPasswords
{
    QString NewsServer;
    QString DialUp;
};

// The task as the task file keeps it: when it logs in (or dials) as the profile does and the
// keyring holds the profile's password, its password is left out, since TakeProfilePassword
// gives it the profile's when it runs; any other task keeps its own, kept nowhere else.
TTask WithoutProfilePassword(const TTask& task, const ProfileSettings& settings,
                             const TKeyringPasswords& keyring);
