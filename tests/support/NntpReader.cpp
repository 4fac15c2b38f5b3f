#include "NntpReader.h"

QByteArray TNntpReader::TArticle::Header(const QByteArray& name) const
{
    const QByteArray prefix = name + ": ";
    for (const QByteArray& h : Headers)
        if (h.startsWith(prefix))
            return h.mid(prefix.size());
    return QByteArray();
}

bool TNntpReader::readLine(QByteArray& line, QString* error)
{
    while (!m_socket.canReadLine()) {
        if (!m_socket.waitForReadyRead(10000)) {
            *error = "no answer from the server: " + m_socket.errorString();
            return false;
        }
    }
    line = m_socket.readLine();
    line.chop(line.endsWith("\r\n") ? 2 : 1);
    return true;
}

bool TNntpReader::command(const QByteArray& line, QByteArray& reply, QString* error)
{
    m_socket.write(line + "\r\n");
    return readLine(reply, error);
}

bool TNntpReader::Connect(quint16 port, QString* error)
{
    m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!m_socket.waitForConnected(10000)) {
        *error = m_socket.errorString();
        return false;
    }
    QByteArray greeting;
    if (!readLine(greeting, error))
        return false;
    QByteArray reply;
    // INN hands readers to nnrpd only after MODE READER.
    return command("MODE READER", reply, error);
}

bool TNntpReader::ReadGroup(const QByteArray& group, QList<TArticle>& articles, QString* error)
{
    QByteArray reply;
    if (!command("GROUP " + group, reply, error))
        return false;
    const QList<QByteArray> fields = reply.split(' ');
    if (!reply.startsWith("211") || fields.size() < 4) {
        *error = QString::fromUtf8("GROUP " + group + ": " + reply);
        return false;
    }
    const qint64 count = fields[1].toLongLong();
    const qint64 first = fields[2].toLongLong();
    const qint64 last = fields[3].toLongLong();
    for (qint64 n = first; count > 0 && n <= last; ++n) {
        if (!command("ARTICLE " + QByteArray::number(n), reply, error))
            return false;
        if (!reply.startsWith("220"))
            continue;
        TArticle article;
        bool inBody = false;
        QByteArray line;
        for (;;) {
            if (!readLine(line, error))
                return false;
            if (line == ".")
                break;
            if (line.startsWith('.'))
                line.remove(0, 1);
            if (!inBody && line.isEmpty())
                inBody = true;
            else
                (inBody ? article.Body : article.Headers) << line;
        }
        articles << article;
    }
    return true;
}
