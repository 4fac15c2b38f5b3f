#pragma once

struct TAppState;
class TView;

// Before work that needs the news server: when the server wants a login, the password is
// not remembered and none is known yet, asks for it ("News server login"). False when the
// user cancelled.
bool CheckAuth(TAppState& state, TView& view);
