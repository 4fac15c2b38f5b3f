#include "app/CheckAuth.h"

#include "base/AppState.h"
#include "base/View.h"
#include "tasks/ConnectionOverride.h"

namespace {

const QString LoginCaption = QStringLiteral("News server login");

bool checkSessionLogin(const ProfileSettings& s, TView& view, TConnectionOverride& session)
{
    // The stored password belongs to the stored user.
    const QString password = session.Password
                                 ? *session.Password
                                 : (*session.UserName == s.UserID ? s.Password : QString());
    if (s.RememberPassword || !password.isEmpty())
        return true;
    const std::optional<TLoginAnswer> answer =
        view.AskLogin(LoginCaption, *session.UserName, password);
    if (!answer)
        return false;
    session.UserName = answer->UserName;
    session.Password = answer->Password;
    return true;
}

} // namespace

bool CheckAuth(TAppState& state, TView& view, TConnectionOverride& session)
{
    state.SetCurrentProcName(QStringLiteral("CheckLogin"));
    ProfileSettings& s = state.Settings;
    if (session.UserName)
        return checkSessionLogin(s, view, session);
    if (!s.LoginRequired || s.RememberPassword || !s.Password.isEmpty())
        return true;
    const std::optional<TLoginAnswer> answer = view.AskLogin(LoginCaption, s.UserID, s.Password);
    if (!answer)
        return false;
    // Kept in memory only; the settings store sees them as the profile's rules say.
    s.UserID = answer->UserName;
    s.Password = answer->Password;
    return true;
}
