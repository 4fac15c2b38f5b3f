#include "PostedArticles.h"

#include <QProcess>
#include <QRegularExpression>

#include <algorithm>

namespace PostedArticles {

QList<TNntpReader::TArticle> Fetch(quint16 port, QByteArrayView group, const QByteArray& marker)
{
    TNntpReader reader;
    QString error;
    QList<TNntpReader::TArticle> all;
    if (!reader.Connect(port, &error) || !reader.ReadGroup(group.toByteArray(), all, &error))
        qWarning("reading %s: %s", group.toByteArray().constData(), qPrintable(error));
    QList<TNntpReader::TArticle> mine;
    for (const TNntpReader::TArticle& a : all)
        if (a.Header("Subject").contains(marker))
            mine << a;
    std::sort(mine.begin(), mine.end(), [](const auto& a, const auto& b) {
        return PartOf(a.Header("Subject")) < PartOf(b.Header("Subject"));
    });
    return mine;
}

int PartOf(const QByteArray& subject)
{
    static const QRegularExpression re(QStringLiteral("\\((\\d+)/(\\d+)\\)"));
    return re.match(QString::fromUtf8(subject)).captured(1).toInt();
}

QByteArray Text(const TNntpReader::TArticle& article)
{
    QByteArray text = article.Headers.join("\n") + "\n\n";
    for (const QByteArray& line : article.Body)
        text += line + '\n';
    return text;
}

int RunTool(const QString& program, const QStringList& arguments, QString* output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QByteArray NzbgetConf(const QString& dir, quint16 port)
{
    const QStringList conf = {"MainDir=" + dir,
                              "DestDir=${MainDir}/dst",
                              "InterDir=${MainDir}/inter",
                              "NzbDir=${MainDir}/nzb",
                              "QueueDir=${MainDir}/queue",
                              "TempDir=${MainDir}/tmp",
                              "LockFile=${MainDir}/nzbget.lock",
                              "LogFile=${MainDir}/nzbget.log",
                              "WebDir=",
                              "ConfigTemplate=/usr/share/nzbget/webui/nzbget.conf",
                              "Server1.Active=yes",
                              "Server1.Host=127.0.0.1",
                              QStringLiteral("Server1.Port=%1").arg(port),
                              "Server1.Encryption=no",
                              "Server1.Connections=2",
                              "ControlIP=127.0.0.1",
                              "ControlPort=0",
                              "UpdateCheck=none",
                              "DaemonUsername=root",
                              "NzbDirInterval=0",
                              "DupeCheck=no",
                              "AppendCategoryDir=no",
                              "ArticleRetries=1",
                              "ArticleTimeout=10",
                              "ContinuePartial=no",
                              "OutputMode=loggable",
                              "CrcCheck=yes",
                              "ParCheck=auto",
                              "ParRepair=yes",
                              "HealthCheck=none",
                              "Unpack=no",
                              "KeepHistory=1"};
    return conf.join('\n').toUtf8() + '\n';
}

} // namespace PostedArticles
