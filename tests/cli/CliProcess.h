#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class QProcess;

// Runs the real quorvel-cli in a home and settings file of its own, with no terminal on
// its standard input, as a script would.
class TCliProcess
{
public:
    TCliProcess();

    struct TResult
    {
        int ExitCode = -1;
        QString Out;
        QString Err;
    };

    // Extra environment for the following runs (passwords, for instance).
    void SetEnv(const QString& name, const QString& value) { m_env.insert(name, value); }
    void UnsetEnv(const QString& name) { m_env.remove(name); }
    // A program the following runs go through, with its arguments before quorvel-cli's
    // (strace, for instance); empty for none.
    void SetWrapper(const QStringList& command) { m_wrapper = command; }

    // Runs to the end while the test's event loop keeps turning (a fake server may live on it).
    TResult Run(const QStringList& args, int timeoutMs = 60000) const;
    // Points the profile at a server, posting as a test address (a new profile's example
    // address is refused); the first failing run's result, or the last one's.
    TResult SetServer(const QString& host) const;
    // Writes a newsrc text file of those lines and runs "groups import" on it.
    TResult ImportGroups(const QByteArray& newsrcText) const;
    // Starts a run and leaves it to the caller (to interrupt it, for instance).
    std::unique_ptr<QProcess> Start(const QStringList& args) const;
    static TResult Finish(QProcess& process, int timeoutMs = 60000);

    QString Home() const { return m_dir.path() + QStringLiteral("/home"); }
    QString SettingsFile() const { return m_dir.path() + QStringLiteral("/quorvel.ini"); }
    QString TaskFile() const { return Home() + QStringLiteral("/qvtasks.qv"); }
    QString Dir() const { return m_dir.path(); }
    static QString Binary();

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    QStringList m_wrapper;
};
