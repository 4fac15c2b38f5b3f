#pragma once

struct TAppState;
struct TConnectionOverride;
class TView;

// Before work that needs the news server: when the server wants a login, the password is
// not remembered and none is known yet, asks for it ("News server login"). A user named for
// the session only (session.UserName) is asked for with the session's password, which the
// answer fills; the profile keeps its own login. False when the user cancelled.
bool CheckAuth(TAppState& state, TView& view, TConnectionOverride& session);
