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

} // namespace PostedArticles
