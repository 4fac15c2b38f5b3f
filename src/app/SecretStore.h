#pragma once

#include <QString>

#include <optional>

// Passwords kept in the desktop's keyring through the Secret Service (GNOME Keyring, KWallet),
// one per profile and purpose. The calls are synchronous: no event loop runs inside them.
class TSecretStore
{
public:
    enum class TKind
    {
        NewsServer,
        DialUp,
    };

    virtual ~TSecretStore() = default;

    // Whether a keyring answers on the session bus. Asked once; without a session bus it is
    // not asked at all (nothing is started to ask it).
    virtual bool Available();
    // The stored password, std::nullopt when none is stored or on failure (error set then).
    virtual std::optional<QString> Read(const QString& profile, TKind kind, QString* error);
    virtual bool Write(const QString& profile, TKind kind, const QString& secret, QString* error);
    // Forgets the password; true when none is stored afterwards.
    virtual bool Remove(const QString& profile, TKind kind, QString* error);

private:
    std::optional<bool> m_available;
};
