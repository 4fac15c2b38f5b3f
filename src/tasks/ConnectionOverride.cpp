#include "tasks/ConnectionOverride.h"

TTlsConfig TConnectionOverride::Tls(TTlsConfig profile) const
{
    if (Security)
        profile.Mode = *Security;
    if (TrustedFingerprint)
        profile.TrustedFingerprint = *TrustedFingerprint;
    if (TrustedAuthorities)
        profile.CaFile = *TrustedAuthorities;
    return profile;
}

TClientLogin TConnectionOverride::Login(TClientLogin task) const
{
    if (!UserName)
        return LoginRequired && !*LoginRequired ? TClientLogin{} : task;
    // The task's password belongs to the task's user.
    const QString password =
        Password ? *Password : (task.UserName == *UserName ? task.Password : QString());
    return {true, *UserName, password};
}

TSocksProxy TConnectionOverride::Proxy(const std::optional<TSocksProxy>& server) const
{
    return Socks ? *Socks : server.value_or(TSocksProxy());
}
