#include "base/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

TSettingsStore::TSettingsStore(const QString& fileName)
{
    // QUORVEL_SETTINGS points a run (a test, a second installation) at a file of its own.
    const QString overridden = qEnvironmentVariable("QUORVEL_SETTINGS");
    if (fileName.isEmpty() && !overridden.isEmpty())
        m_settings = std::make_unique<QSettings>(overridden, QSettings::IniFormat);
    else if (fileName.isEmpty())
        m_settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                                 QStringLiteral("Brindlecove Software"),
                                                 QStringLiteral("Quorvel"));
    else
        m_settings = std::make_unique<QSettings>(fileName, QSettings::IniFormat);
    createPrivateFile();
}

void TSettingsStore::createPrivateFile()
{
    // Created empty and private before the first write, so the passwords never sit in a
    // file others can read, not even for a moment; later saves keep these permissions.
    const QString name = m_settings->fileName();
    if (QFile::exists(name))
        return;
    QDir().mkpath(QFileInfo(name).absolutePath());
    QFile f(name);
    if (f.open(QIODevice::WriteOnly))
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TSettingsStore::~TSettingsStore()
{
    Sync();
}

QString TSettingsStore::path(const QString& key, const QString& name) const
{
    return key + u'/' + name;
}

QString TSettingsStore::ReadString(const QString& key, const QString& name,
                                   const QString& def) const
{
    return m_settings->value(path(key, name), def).toString();
}

bool TSettingsStore::ReadBool(const QString& key, const QString& name, bool def) const
{
    // Stored as 0/1 integers, as the original registry values were.
    bool ok = false;
    const int v = m_settings->value(path(key, name), def ? 1 : 0).toInt(&ok);
    return ok ? v != 0 : def;
}

int TSettingsStore::ReadInteger(const QString& key, const QString& name, int def) const
{
    bool ok = false;
    const int v = m_settings->value(path(key, name), def).toInt(&ok);
    return ok ? v : def;
}

void TSettingsStore::WriteString(const QString& key, const QString& name, const QString& value)
{
    m_settings->setValue(path(key, name), value);
}

void TSettingsStore::WriteBool(const QString& key, const QString& name, bool value)
{
    m_settings->setValue(path(key, name), value ? 1 : 0);
}

void TSettingsStore::WriteInteger(const QString& key, const QString& name, int value)
{
    m_settings->setValue(path(key, name), value);
}

void TSettingsStore::DeleteKey(const QString& key)
{
    m_settings->remove(key);
}

bool TSettingsStore::KeyExists(const QString& key) const
{
    return m_settings->childGroups().contains(key);
}

QString TSettingsStore::Sync()
{
    m_settings->sync();
    restrictPermissions();
    if (m_settings->status() != QSettings::NoError)
        return QStringLiteral("Cannot write the settings file %1").arg(m_settings->fileName());
    return QString();
}

QString TSettingsStore::FileName() const
{
    return m_settings->fileName();
}

void TSettingsStore::restrictPermissions()
{
    QFile f(m_settings->fileName());
    if (f.exists())
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
