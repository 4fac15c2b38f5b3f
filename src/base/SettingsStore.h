#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class QSettings;
class QTemporaryFile;

// The per-user settings store: one group per key ("Common" and one per profile), values
// read with the default a missing value takes. The file is private to its owner since it
// holds scrambled passwords.
//
// The values live in a private working copy beside the file (mode 0600; when that folder takes
// none, in the runtime or temporary folder); a save replaces the file whole, and only when it
// changed. A file that exists but could not be read is never written: defaults saved over it
// would wipe the user's profiles.
class TSettingsStore
{
public:
    // fileName empty: the file named by QUORVEL_SETTINGS, else the user's standard
    // configuration file for the program.
    explicit TSettingsStore(const QString& fileName = QString());
    ~TSettingsStore();
    // The file a store made without a name uses.
    static QString DefaultFileName();

    QString ReadString(const QString& key, const QString& name, const QString& def) const;
    bool ReadBool(const QString& key, const QString& name, bool def) const;
    int ReadInteger(const QString& key, const QString& name, int def) const;

    void WriteString(const QString& key, const QString& name, const QString& value);
    void WriteBool(const QString& key, const QString& name, bool value);
    void WriteInteger(const QString& key, const QString& name, int value);

    void DeleteKey(const QString& key);
    // Removes one value of a key (nothing when there is none).
    void DeleteValue(const QString& key, const QString& name);
    bool ValueExists(const QString& key, const QString& name) const;
    bool KeyExists(const QString& key) const;

    // Writes pending changes to disk; returns an error text naming the file, empty on
    // success.
    QString Sync();
    QString FileName() const;
    // Why the file could not be read at start (then it is never written), empty when it
    // was read or did not exist.
    QString ReadError() const { return m_readError; }
    // The error of the last Sync, empty when it succeeded.
    QString LastSyncError() const { return m_syncError; }

    // Removes the working copies beside fileName that runs killed before they could remove
    // them left (those of processes no longer alive). Returns how many went.
    static int RemoveStaleCopies(const QString& fileName);

private:
    QString path(const QString& key, const QString& name) const;
    void load();
    QString makeWorkCopy();
    void adoptOutsideChanges();
    QString save();

    QString m_fileName;
    QString m_readError;
    QString m_syncError;
    QByteArray m_savedBytes; // the file's contents as last read or written
    std::unique_ptr<QTemporaryFile> m_work;
    std::unique_ptr<QSettings> m_settings;
};
