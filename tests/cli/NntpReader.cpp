#include "NntpReader.h"

#include <QStringList>
#include <QTcpSocket>

namespace {

bool readLine(QTcpSocket& socket, QByteArray* line)
{
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(10000))
            return false;
    *line = socket.readLine();
    while (line->endsWith('\n') || line->endsWith('\r'))
        line->chop(1);
    return true;
}

bool command(QTcpSocket& socket, const QByteArray& text, QByteArray* reply)
{
    socket.write(text + "\r\n");
    return socket.waitForBytesWritten(10000) && readLine(socket, reply);
}

} // namespace

QByteArray TNntpReader::TArticle::Header(const QByteArray& name) const
{
    const QByteArray prefix = name.toLower() + ": ";
    for (const QByteArray& line : HeaderLines)
        if (line.toLower().startsWith(prefix))
            return line.mid(prefix.size());
    return QByteArray();
}

bool TNntpReader::Read(const QString& group, QList<TArticle>* articles, QString* error) const
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
    QByteArray reply;
    if (!socket.waitForConnected(10000) || !readLine(socket, &reply) || !reply.startsWith("20")) {
        *error = QStringLiteral("no greeting: ") + QString::fromLatin1(reply);
        return false;
    }
    if (!command(socket, "GROUP " + group.toUtf8(), &reply) || !reply.startsWith("211")) {
        *error = QStringLiteral("GROUP: ") + QString::fromLatin1(reply);
        return false;
    }
    const QList<QByteArray> fields = reply.split(' ');
    const int count = fields.value(1).toInt();
    const int low = fields.value(2).toInt();
    const int high = fields.value(3).toInt();
    for (int n = low; count > 0 && n <= high; ++n) {
        if (!command(socket, "ARTICLE " + QByteArray::number(n), &reply))
            return false;
        if (!reply.startsWith("220"))
            continue; // a gap in the numbering
        TArticle article;
        bool inBody = false;
        QByteArray line;
        while (readLine(socket, &line) && line != ".") {
            if (line.startsWith(".."))
                line.remove(0, 1);
            if (!inBody && line.isEmpty())
                inBody = true;
            else
                (inBody ? article.BodyLines : article.HeaderLines) << line;
        }
        articles->append(article);
    }
    command(socket, "QUIT", &reply);
    return true;
}

bool TNntpReader::Groups(QStringList* names, QString* error) const
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), m_port);
    QByteArray reply;
    if (!socket.waitForConnected(10000) || !readLine(socket, &reply) ||
        !command(socket, "LIST ACTIVE", &reply) || !reply.startsWith("215")) {
        *error = QStringLiteral("LIST: ") + QString::fromLatin1(reply);
        return false;
    }
    QByteArray line;
    while (readLine(socket, &line) && line != ".")
        *names << QString::fromUtf8(line.left(line.indexOf(' ')));
    command(socket, "QUIT", &reply);
    return true;
}
