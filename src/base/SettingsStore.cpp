#include "base/SettingsStore.h"

#include "base/SafeFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryFile>

#include <cerrno>
#include <csignal>

QString TSettingsStore::DefaultFileName()
{
    // QUORVEL_SETTINGS points a run (a test, a second installation) at a file of its own.
    const QString overridden = qEnvironmentVariable("QUORVEL_SETTINGS");
    if (!overridden.isEmpty())
        return overridden;
    return QSettings(QSettings::IniFormat, QSettings::UserScope,
                     QStringLiteral("Brindlecove Software"), QStringLiteral("Quorvel"))
        .fileName();
}

TSettingsStore::TSettingsStore(const QString& fileName)
{
    m_fileName = fileName.isEmpty() ? DefaultFileName() : fileName;
    TSafeFile::RemoveLeftovers(m_fileName); // of a save cut short by a kill
    load();
}

namespace {

// ".Quorvel.ini.PID.XXXXXX": the process that works on it is named, so that a copy left by a
// killed run is told from one a running program holds. QSettings locks it with ".lock".
QString workPrefix(const QFileInfo& settings)
{
    return QStringLiteral(".%1.").arg(settings.fileName());
}

bool processAlive(qint64 pid)
{
    return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// Where a working copy may go, best first: beside the settings file; when that folder takes
// none (a full disk, a folder the user may not write), the user's private runtime folder, and
// only then the temporary folder.
QStringList workFolders(const QFileInfo& settings)
{
    QStringList folders{settings.absolutePath()};
    if (const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR"); !runtime.isEmpty())
        folders << runtime;
    return folders << QDir::tempPath();
}

} // namespace

int TSettingsStore::RemoveStaleCopies(const QString& fileName)
{
    const QFileInfo settings(fileName);
    const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QRegularExpression::escape(workPrefix(settings)) +
                                            QStringLiteral("([0-9]+)\\.[A-Za-z0-9]{6}(\\.lock)?")));
    int removed = 0;
    for (const QString& folder : workFolders(settings)) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList({workPrefix(settings) + '*'},
                                                 QDir::Files | QDir::Hidden | QDir::System)) {
            const QRegularExpressionMatch match = pattern.match(name);
            if (match.hasMatch() && !processAlive(match.captured(1).toLongLong()) &&
                QFile::remove(dir.filePath(name)))
                ++removed;
        }
    }
    return removed;
}

void TSettingsStore::load()
{
    const QFileInfo info(m_fileName);
    QDir().mkpath(info.absolutePath());
    RemoveStaleCopies(m_fileName);
    if (info.exists()) {
        QFile file(m_fileName);
        if (info.isDir())
            m_readError = QStringLiteral("The settings file %1 is a folder").arg(m_fileName);
        else if (!file.open(QIODevice::ReadOnly))
            m_readError = QStringLiteral("Cannot read the settings file %1: %2")
                              .arg(m_fileName, file.errorString());
        else
            m_savedBytes = file.readAll();
        if (m_readError.isEmpty() && file.error() != QFileDevice::NoError)
            m_readError = QStringLiteral("Cannot read the settings file %1: %2")
                              .arg(m_fileName, file.errorString());
    }
    if (!m_readError.isEmpty())
        m_savedBytes.clear();
    const QString failed = makeWorkCopy();
    if (m_readError.isEmpty() && !failed.isEmpty())
        m_readError = QStringLiteral("Cannot create a working copy of the settings file %1: %2")
                          .arg(m_fileName, failed);
    m_settings = std::make_unique<QSettings>(m_work->fileName(), QSettings::IniFormat);
}

// The working copy holds the scrambled passwords too: private from the start, and beside the
// settings file rather than in a shared temporary folder, where a killed run would leave it
// for anyone to find. Returns the last failure when no folder takes it.
QString TSettingsStore::makeWorkCopy()
{
    const QFileInfo settings(m_fileName);
    QString failure;
    for (const QString& folder : workFolders(settings)) {
        m_work = std::make_unique<QTemporaryFile>(QDir(folder).filePath(
            workPrefix(settings) + QString::number(QCoreApplication::applicationPid()) +
            QStringLiteral(".XXXXXX")));
        const bool made =
            m_work->open() && m_work->write(m_savedBytes) == m_savedBytes.size() && m_work->flush();
        failure = m_work->errorString();
        m_work->close();
        if (made)
            return QString();
    }
    return failure;
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
    // QSettings takes an empty key for every group there is.
    if (key.isEmpty())
        return;
    m_settings->remove(key);
}

void TSettingsStore::DeleteValue(const QString& key, const QString& name)
{
    if (key.isEmpty() || name.isEmpty())
        return;
    m_settings->remove(path(key, name));
}

bool TSettingsStore::ValueExists(const QString& key, const QString& name) const
{
    return m_settings->contains(path(key, name));
}

bool TSettingsStore::KeyExists(const QString& key) const
{
    return m_settings->childGroups().contains(key);
}

QString TSettingsStore::Sync()
{
    m_syncError = save();
    return m_syncError;
}

void TSettingsStore::adoptOutsideChanges()
{
    // Another run of the program may have saved since: its values go into the working copy
    // first, and the sync lays this run's changes over them.
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || bytes == m_savedBytes)
        return;
    QFile work(m_work->fileName());
    if (work.open(QIODevice::WriteOnly | QIODevice::Truncate) && work.write(bytes) == bytes.size())
        m_savedBytes = bytes;
}

QString TSettingsStore::save()
{
    if (!m_readError.isEmpty())
        return m_readError + QStringLiteral("; the settings were not saved");
    adoptOutsideChanges();
    m_settings->sync();
    QFile work(m_work->fileName());
    if (m_settings->status() != QSettings::NoError || !work.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot write the settings file %1: the working copy %2 cannot "
                              "be written")
            .arg(m_fileName, work.fileName());
    const QByteArray bytes = work.readAll();
    if (bytes == m_savedBytes && QFileInfo::exists(m_fileName))
        return QString();
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    const QString reason =
        TSafeFile::Replace(m_fileName, bytes, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!reason.isEmpty())
        return QStringLiteral("Cannot write the settings file %1: %2").arg(m_fileName, reason);
    m_savedBytes = bytes;
    return QString();
}

QString TSettingsStore::FileName() const
{
    return m_fileName;
}
