#pragma once

struct ProfileSettings;
struct TTask;

// A saved task keeps the password it was queued with. When it runs against the current
// profile's server (or dial-up connection) as the profile's user, the profile's password is
// the one to use: the user may have corrected it in Setup since the task failed with the old
// one. The task takes it over, so a task saved again carries the corrected one.
void TakeProfilePassword(TTask& task, const ProfileSettings& settings);
