#pragma once

#include <QString>
#include <memory>

class QSettings;

// The per-user settings store: one group per key ("Common" and one per profile), values
// read with the default a missing value takes. The file is private to its owner since it
// holds scrambled passwords.
class TSettingsStore
{
public:
    // fileName empty: the file named by QUORVEL_SETTINGS, else the user's standard
    // configuration file for the program.
    explicit TSettingsStore(const QString& fileName = QString());
    ~TSettingsStore();

    QString ReadString(const QString& key, const QString& name, const QString& def) const;
    bool ReadBool(const QString& key, const QString& name, bool def) const;
    int ReadInteger(const QString& key, const QString& name, int def) const;

    void WriteString(const QString& key, const QString& name, const QString& value);
    void WriteBool(const QString& key, const QString& name, bool value);
    void WriteInteger(const QString& key, const QString& name, int value);

    void DeleteKey(const QString& key);
    bool KeyExists(const QString& key) const;

    // Writes pending changes to disk; returns an error text, empty on success.
    QString Sync();
    QString FileName() const;

private:
    QString path(const QString& key, const QString& name) const;
    void createPrivateFile();
    void restrictPermissions();

    std::unique_ptr<QSettings> m_settings;
};
