#include "SocksServer.h"

#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

#include <csignal>

bool TSocksServer::Available()
{
    return !QStandardPaths::findExecutable("microsocks").isEmpty();
}

bool TSocksServer::Start(const QString& user, const QString& password, QString* error)
{
    Stop();
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) {
        *error = "no free port on 127.0.0.1";
        return false;
    }
    m_port = probe.serverPort();
    probe.close();
    QStringList args{"-i", "127.0.0.1", "-p", QString::number(m_port)};
    if (!user.isEmpty())
        args << "-u" << user << "-P" << password;
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // Line-buffered, so that its log can be read while it runs.
    m_process.start("stdbuf", QStringList{"-oL", "microsocks"} + args);
    if (!m_process.waitForStarted(10000)) {
        *error = "microsocks did not start: " + m_process.errorString();
        return false;
    }
    // Listening takes a moment after the start: connect until it answers.
    for (int attempt = 0; attempt < 100; ++attempt) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(100))
            return true;
        if (m_process.waitForFinished(20)) {
            *error = "microsocks ended: " + QString::fromLocal8Bit(m_process.readAll());
            return false;
        }
    }
    *error = QString("microsocks does not listen on port %1").arg(m_port);
    Stop();
    return false;
}

QByteArray TSocksServer::Log()
{
    m_log += m_process.readAll();
    return m_log;
}

void TSocksServer::Stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}
