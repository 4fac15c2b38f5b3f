#include "InnServer.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

namespace {
const char* const InnBin = "/usr/lib/news/bin";

bool runTool(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& environment, int timeoutMs, QString* output)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(timeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished(1000);
    }
    *output = QString::fromLocal8Bit(process.readAll()).trimmed();
    return finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}
} // namespace

TInnServer::~TInnServer()
{
    Stop();
}

bool TInnServer::Available()
{
    return QFileInfo(QString(InnBin) + "/innd").isExecutable() && getpwnam("news") != nullptr;
}

QString TInnServer::script(const QString& name)
{
    QString root = qEnvironmentVariable("QUORVEL_SOURCE_DIR");
    if (root.isEmpty())
        root = QUORVEL_SOURCE_DIR_DEFAULT;
    return root + "/scripts/" + name;
}

bool TInnServer::MakeTestCertificates(const QString& folder, QString* error)
{
    return runTool(script("test-pki.sh"), {folder}, QProcessEnvironment::systemEnvironment(), 60000,
                   error);
}

quint16 TInnServer::StartTlsListener(QString* error, const QString& certificate, const QString& key)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        const quint16 port = freePort();
        QStringList args = {"tls-listen", m_folder, QString::number(port)};
        if (!certificate.isEmpty())
            args << certificate << key;
        if (runTool(script(), args, QProcessEnvironment::systemEnvironment(), 60000, error))
            return port;
    }
    return 0;
}

quint16 TInnServer::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString TInnServer::Server() const
{
    return QString("127.0.0.1:%1").arg(m_port);
}

quint16 TInnServer::StartWithTls(const QString& pkiFolder, const QString& auth, QString* error)
{
    if (!MakeTestCertificates(pkiFolder, error))
        return 0;
    TOptions options;
    options.Auth = auth;
    options.TlsDir = pkiFolder;
    return Start(options, error) ? StartTlsListener(error) : 0;
}

bool TInnServer::Start(const TOptions& options, QString* error)
{
    Stop();
    QByteArray pattern = QDir::toNativeSeparators("/tmp/qvinn-XXXXXX").toLocal8Bit();
    if (!mkdtemp(pattern.data())) {
        *error = "cannot make a folder under /tmp";
        return false;
    }
    m_folder = QString::fromLocal8Bit(pattern);
    if (const passwd* news = getpwnam("news")) [[maybe_unused]]
        int ignored = chown(pattern.constData(), news->pw_uid, news->pw_gid);
    QStringList arguments = {"start", m_folder};
    // A port taken between the probe and innd's bind fails the start: try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = freePort();
        QStringList args = arguments;
        args << QString::number(m_port);
        if (!options.Auth.isEmpty())
            args << "--auth" << options.Auth;
        if (options.Groups > 0)
            args << "--groups" << QString::number(options.Groups);
        if (!options.TlsDir.isEmpty())
            args << "--tls" << options.TlsDir + "/server.pem" << options.TlsDir + "/server.key"
                 << options.TlsDir + "/ca.pem";
        QString output;
        if (runTool(script(), args, QProcessEnvironment::systemEnvironment(), 120000, &output)) {
            m_pid = output.split('\n').last().trimmed().toLongLong();
            return true;
        }
        *error = output;
    }
    Stop();
    return false;
}

void TInnServer::Stop()
{
    if (m_folder.isEmpty())
        return;
    QString output;
    runTool(script(), {"stop", m_folder}, QProcessEnvironment::systemEnvironment(), 30000, &output);
    QDir(m_folder).removeRecursively();
    m_folder.clear();
    m_pid = 0;
    m_port = 0;
}

bool TInnServer::NewGroup(const QString& name, QString* error)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("INNCONF", m_folder + "/etc/inn.conf");
    return runTool(QString(InnBin) + "/ctlinnd", {"newgroup", name, "y", "quorvel"}, environment,
                   30000, error);
}

bool TInnServer::CancelArticle(const QString& messageId, QString* error)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("INNCONF", m_folder + "/etc/inn.conf");
    return runTool(QString(InnBin) + "/ctlinnd", {"cancel", messageId}, environment, 30000, error);
}

bool TInnServer::FeedTo(const TInnServer& other, QString* error)
{
    return runTool(script(), {"feed", m_folder, other.m_folder, QString::number(other.m_port)},
                   QProcessEnvironment::systemEnvironment(), 30000, error);
}
