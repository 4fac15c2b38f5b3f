#include "app/CheckAuth.h"

#include "base/AppState.h"
#include "base/View.h"

bool CheckAuth(TAppState& state, TView& view)
{
    state.SetCurrentProcName(QStringLiteral("CheckLogin"));
    ProfileSettings& s = state.Settings;
    if (!s.LoginRequired || s.RememberPassword || !s.Password.isEmpty())
        return true;
    const std::optional<TLoginAnswer> answer =
        view.AskLogin(QStringLiteral("News server login"), s.UserID, s.Password);
    if (!answer)
        return false;
    // Kept in memory only; the settings store sees them as the profile's rules say.
    s.UserID = answer->UserName;
    s.Password = answer->Password;
    return true;
}
