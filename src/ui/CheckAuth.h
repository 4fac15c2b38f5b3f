#pragma once

class TView;
struct TAppState;

// Before work that talks to the news server is queued: when the profile needs a login and no
// password is known, asks for it ("News server login"). False when the user cancelled; the
// answer is kept in memory, so the question comes once per run of settings.
bool CheckAuth(TAppState& state, TView& view);
