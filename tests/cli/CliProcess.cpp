#include "CliProcess.h"
#include "RunUntil.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

TCliProcess::TCliProcess() : m_env(QProcessEnvironment::systemEnvironment())
{
    m_env.insert(QStringLiteral("QUORVEL_HOME"), Home());
    m_env.insert(QStringLiteral("QUORVEL_SETTINGS"), SettingsFile());
    m_env.remove(QStringLiteral("QUORVEL_PASSWORD"));
    m_env.remove(QStringLiteral("QUORVEL_DIALUP_PASSWORD"));
}

QString TCliProcess::Binary()
{
    return qEnvironmentVariable("QUORVEL_BINARY_DIR") + QStringLiteral("/quorvel-cli");
}

TCliProcess::TResult TCliProcess::SetServer(const QString& host) const
{
    // The posting tests pin the values of a profile an earlier version stored (uuencode with
    // its subject, parts of 5000 lines, one connection, no retries); a new profile's own
    // defaults are tested in tst_cli_profiles.
    if (!QFile::exists(SettingsFile())) {
        QFile ini(SettingsFile());
        const QByteArray classic = "[Common]\nProfiles=Default\n\n[Default]\nConnections=1\n"
                                   "Encoding=uuencode\nMaxLines=5000\nPostRetries=0\n"
                                   "Template=%s - %f (%p/%t) %b Bytes\n";
        if (!ini.open(QIODevice::WriteOnly) || ini.write(classic) != classic.size())
            return {-1, QString(), SettingsFile() + QStringLiteral(": ") + ini.errorString()};
    }
    const TResult set =
        Run({QStringLiteral("profile"), QStringLiteral("set"), QStringLiteral("Host"), host});
    if (set.ExitCode != 0)
        return set;
    return Run({QStringLiteral("profile"), QStringLiteral("set"), QStringLiteral("EmailAddress"),
                QStringLiteral("tester@quorvel.test")});
}

TCliProcess::TResult TCliProcess::ImportGroups(const QByteArray& newsrcText) const
{
    const QString path = Dir() + QStringLiteral("/groups.newsrc");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(newsrcText) != newsrcText.size() || !f.flush())
        return {-1, QString(), path + QStringLiteral(": ") + f.errorString()};
    f.close();
    return Run({QStringLiteral("groups"), QStringLiteral("import"), path});
}

std::unique_ptr<QProcess> TCliProcess::Start(const QStringList& args) const
{
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(m_env);
    p->setStandardInputFile(QProcess::nullDevice());
    if (m_wrapper.isEmpty())
        p->start(Binary(), args);
    else
        p->start(m_wrapper.first(), m_wrapper.mid(1) + QStringList{Binary()} + args);
    p->waitForStarted();
    return p;
}

TCliProcess::TResult TCliProcess::Run(const QStringList& args, int timeoutMs) const
{
    const std::unique_ptr<QProcess> p = Start(args);
    return Finish(*p, timeoutMs);
}

TCliProcess::TResult TCliProcess::Finish(QProcess& p, int timeoutMs)
{
    TResult r;
    if (p.error() == QProcess::FailedToStart) {
        r.Err = QStringLiteral("quorvel-cli did not start: ") + p.errorString();
        return r;
    }
    if (!RunUntil([&p] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.Err = QStringLiteral("quorvel-cli did not finish: ") + p.errorString();
        return r;
    }
    r.ExitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.Out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.Err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}
