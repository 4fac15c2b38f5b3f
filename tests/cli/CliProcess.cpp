#include "CliProcess.h"

#include <QProcess>

TCliProcess::TCliProcess() : m_env(QProcessEnvironment::systemEnvironment())
{
    m_env.insert(QStringLiteral("QUORVEL_HOME"), Home());
    m_env.insert(QStringLiteral("QUORVEL_SETTINGS"), SettingsFile());
    m_env.remove(QStringLiteral("QUORVEL_PASSWORD"));
    m_env.remove(QStringLiteral("QUORVEL_DIALUP_PASSWORD"));
}

QString TCliProcess::Binary()
{
    return qEnvironmentVariable("QUORVEL_BINARY_DIR") + QStringLiteral("/src/cli/quorvel-cli");
}

TCliProcess::TResult TCliProcess::Run(const QStringList& args, int timeoutMs) const
{
    QProcess p;
    p.setProcessEnvironment(m_env);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(Binary(), args);
    TResult r;
    if (!p.waitForStarted() || !p.waitForFinished(timeoutMs)) {
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
