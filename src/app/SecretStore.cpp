// GLib's headers use "signals" as a name: they come before anything of Qt's.
#include <libsecret/secret.h>

#include "app/SecretStore.h"

#include <QByteArray>
#include <QFileInfo>

namespace {

const SecretSchema* schema()
{
    static const SecretSchema s = {
        "com.brindlecove.Quorvel.Password",
        SECRET_SCHEMA_NONE,
        {
            {"profile", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"kind", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SecretSchemaAttributeType(0)},
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return &s;
}

const char* kindName(TSecretStore::TKind kind)
{
    return kind == TSecretStore::TKind::DialUp ? "dial-up" : "news server";
}

QString take(GError* error)
{
    const QString text = QString::fromUtf8(error->message);
    g_error_free(error);
    return "Keyring: " + text;
}

// A session bus to ask: its address is set, or the user's bus socket exists. Without one,
// GLib would try to start a bus of its own, which is not ours to start.
bool haveSessionBus()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + "/bus");
}

} // namespace

bool TSecretStore::Available()
{
    if (m_available)
        return *m_available;
    m_available = false;
    if (!haveSessionBus() || qEnvironmentVariable("QUORVEL_KEYRING") == "off")
        return false;
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    if (!service) {
        if (error)
            g_error_free(error);
        return false;
    }
    // GLib ends the process with SIGTERM when the session bus goes away; a keyring that is
    // gone is a failed call like any other, told where a password is read or stored.
    g_dbus_connection_set_exit_on_close(g_dbus_proxy_get_connection(G_DBUS_PROXY(service)), FALSE);
    // Asking for nothing proves that a keyring answers (and is not merely activatable).
    GHashTable* none = g_hash_table_new(g_str_hash, g_str_equal);
    GList* found =
        secret_service_search_sync(service, schema(), none, SECRET_SEARCH_NONE, nullptr, &error);
    g_hash_table_unref(none);
    g_list_free_full(found, g_object_unref);
    g_object_unref(service);
    m_available = error == nullptr;
    if (error)
        g_error_free(error);
    return *m_available;
}

std::optional<QString> TSecretStore::Read(const QString& profile, TKind kind, QString* error)
{
    GError* failure = nullptr;
    const QByteArray name = profile.toUtf8();
    gchar* secret = secret_password_lookup_sync(schema(), nullptr, &failure, "profile",
                                                name.constData(), "kind", kindName(kind), nullptr);
    if (failure) {
        *error = take(failure);
        return std::nullopt;
    }
    if (!secret)
        return std::nullopt;
    const QString text = QString::fromUtf8(secret);
    secret_password_free(secret);
    return text;
}

bool TSecretStore::Write(const QString& profile, TKind kind, const QString& secret, QString* error)
{
    GError* failure = nullptr;
    const QByteArray name = profile.toUtf8();
    const QByteArray label = "Quorvel: " + name + " (" + kindName(kind) + ")";
    const QByteArray bytes = secret.toUtf8();
    const gboolean stored = secret_password_store_sync(
        schema(), SECRET_COLLECTION_DEFAULT, label.constData(), bytes.constData(), nullptr,
        &failure, "profile", name.constData(), "kind", kindName(kind), nullptr);
    if (failure) {
        *error = take(failure);
        return false;
    }
    return stored;
}

bool TSecretStore::Remove(const QString& profile, TKind kind, QString* error)
{
    GError* failure = nullptr;
    const QByteArray name = profile.toUtf8();
    secret_password_clear_sync(schema(), nullptr, &failure, "profile", name.constData(), "kind",
                               kindName(kind), nullptr);
    if (failure) {
        *error = take(failure);
        return false;
    }
    return true;
}
