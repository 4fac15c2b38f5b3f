#include "FakeNntpServer.h"

#include <QFile>
#include <QHostAddress>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

// The Message-ID header's value of an article as received; empty without one.
QByteArray messageIdOf(const QByteArray& text)
{
    const qsizetype at = text.startsWith("Message-ID: ") ? 0 : text.indexOf("\r\nMessage-ID: ");
    if (at < 0)
        return {};
    const qsizetype start = text.indexOf(':', at) + 2;
    return text.mid(start, text.indexOf('\r', start) - start);
}

} // namespace

struct TFakeNntpServer::TSession
{
    std::optional<TRule> Article; // the rule that accepted the article in progress
    QByteArray Text;
    int Lines = 0;
    bool Stalled = false;
    int Number = 0; // from 1, in the order accepted
    int ProxyRequestLeft = 0;
};

TFakeNntpServer::TFakeNntpServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TFakeNntpServer::accept);
}

TFakeNntpServer::~TFakeNntpServer() = default;

bool TFakeNntpServer::UseTls(const QString& certificateFile, const QString& keyFile)
{
    QFile keyIn(keyFile);
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(certificateFile);
    if (chain.isEmpty() || !keyIn.open(QIODevice::ReadOnly))
        return false;
    const QByteArray pem = keyIn.readAll();
    QSslKey key(pem, QSsl::Ec);
    if (key.isNull())
        key = QSslKey(pem, QSsl::Rsa);
    if (key.isNull())
        return false;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone); // the client shows no certificate
    auto* server = new QSslServer(this);
    server->setSslConfiguration(tls);
    // A connection is pending once its handshake is done.
    connect(server, &QTcpServer::pendingConnectionAvailable, this, &TFakeNntpServer::accept);
    delete m_server;
    m_server = server;
    return true;
}

bool TFakeNntpServer::Start(const QHostAddress& at)
{
    return m_server->listen(at, 0);
}

quint16 TFakeNntpServer::Port() const
{
    return m_server->serverPort();
}

QString TFakeNntpServer::Server() const
{
    const QHostAddress at = m_server->serverAddress();
    const QString host =
        at.protocol() == QAbstractSocket::IPv6Protocol ? '[' + at.toString() + ']' : at.toString();
    return host + ':' + QString::number(Port());
}

TFakeNntpServer& TFakeNntpServer::Add(const TRule& rule)
{
    m_rules.append(rule);
    return *this;
}

TFakeNntpServer& TFakeNntpServer::On(const QByteArray& command, const QList<QByteArray>& lines,
                                     bool once)
{
    TRule rule;
    rule.Command = command;
    rule.Lines = lines;
    rule.Once = once;
    return Add(rule);
}

TFakeNntpServer& TFakeNntpServer::OnRaw(const QByteArray& command, const QByteArray& raw, bool once)
{
    TRule rule;
    rule.Command = command;
    rule.Action = TAction::Raw;
    rule.Raw = raw;
    rule.Once = once;
    return Add(rule);
}

TFakeNntpServer& TFakeNntpServer::OnStall(const QByteArray& command, bool once)
{
    TRule rule;
    rule.Command = command;
    rule.Action = TAction::Stall;
    rule.Once = once;
    return Add(rule);
}

TFakeNntpServer& TFakeNntpServer::OnDrop(const QByteArray& command, bool once)
{
    TRule rule;
    rule.Command = command;
    rule.Action = TAction::Drop;
    rule.Once = once;
    return Add(rule);
}

TFakeNntpServer& TFakeNntpServer::OnPost(const QList<QByteArray>& result, bool once)
{
    TRule rule;
    rule.Command = "POST";
    rule.Lines = {"340 send article to be posted. End with <CR-LF>.<CR-LF>"};
    rule.TakesArticle = true;
    rule.Result = result;
    rule.Once = once;
    return Add(rule);
}

void TFakeNntpServer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        ++m_connections;
        if (m_limit > 0 && m_open >= m_limit) {
            ++m_refused;
            socket->write(m_limitRefusal);
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        ++m_open;
        auto session = std::make_shared<TSession>();
        session->Number = m_connections;
        session->ProxyRequestLeft = m_proxyRequestBytes;
        if (m_receiveBufferSize > 0) {
            socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                                    m_receiveBufferSize);
            socket->setReadBufferSize(m_receiveBufferSize);
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, session] {
            if (session->ProxyRequestLeft > 0) {
                const QByteArray bytes = socket->read(session->ProxyRequestLeft);
                m_proxyRequest += bytes;
                session->ProxyRequestLeft -= int(bytes.size());
            }
            while (!session->Stalled && socket->canReadLine()) {
                QByteArray line = socket->readLine();
                line.chop(line.endsWith("\r\n") ? 2 : (line.endsWith('\n') ? 1 : 0));
                if (session->Article)
                    handleArticleLine(socket, *session, line);
                else
                    handleCommand(socket, *session, line);
                if (socket->state() != QAbstractSocket::ConnectedState)
                    return;
            }
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            ++m_closed;
            --m_open;
            socket->deleteLater();
            emit ConnectionClosed();
        });
        if (m_dropOnConnect) {
            socket->disconnectFromHost();
            continue;
        }
        sendOpening(socket, 0);
    }
}

void TFakeNntpServer::sendOpening(QTcpSocket* socket, qsizetype slice)
{
    if (slice < m_proxySlices.size()) {
        socket->write(m_proxySlices.at(slice));
        socket->flush();
        QPointer<QTcpSocket> alive(socket);
        QTimer::singleShot(1, this, [this, alive, slice] {
            if (alive && alive->state() == QAbstractSocket::ConnectedState)
                sendOpening(alive, slice + 1);
        });
        return;
    }
    if (m_proxyCloseAfter && !m_proxySlices.isEmpty()) {
        socket->disconnectFromHost();
        return;
    }
    if (!m_greeting.isEmpty())
        socket->write(m_greeting);
}

std::optional<TFakeNntpServer::TRule> TFakeNntpServer::match(const QByteArray& command)
{
    for (qsizetype i = 0; i < m_rules.size(); ++i) {
        const TRule& rule = m_rules.at(i);
        const bool prefix = rule.Command.endsWith('*');
        const bool hit =
            prefix ? command.startsWith(rule.Command.chopped(1)) : command == rule.Command;
        if (!hit)
            continue;
        if (rule.Once)
            return m_rules.takeAt(i);
        return rule;
    }
    return std::nullopt;
}

void TFakeNntpServer::handleCommand(QTcpSocket* socket, TSession& session, const QByteArray& line)
{
    m_commands.append(line);
    emit CommandReceived(line);
    const std::optional<TRule> rule = match(line);
    if (!rule) {
        if (line == "QUIT") {
            sendLines(socket, {"205 Bye"});
            socket->disconnectFromHost();
        } else if (line.startsWith("STAT <")) {
            const QByteArray id = line.mid(5);
            const bool stored =
                m_storedIds.contains(id) ||
                (!m_lostIds.contains(id) &&
                 std::any_of(m_kept.begin(), m_kept.end(),
                             [&](const QByteArray& a) { return messageIdOf(a) == id; }));
            sendLines(socket, {stored ? "223 0 " + id : QByteArray("430 no such article")});
        } else {
            sendLines(socket, {"500 What?"});
        }
        return;
    }
    switch (rule->Action) {
    case TAction::Reply:
        sendLines(socket, rule->Lines);
        break;
    case TAction::Raw:
        socket->write(rule->Raw);
        break;
    case TAction::Stall:
        break;
    case TAction::Drop:
        socket->disconnectFromHost();
        return;
    }
    if (rule->CloseAfter) {
        socket->disconnectFromHost();
        return;
    }
    if (rule->TakesArticle) {
        session.Article = rule;
        session.Text.clear();
        session.Lines = 0;
        m_articleLines = 0;
    }
}

void TFakeNntpServer::handleArticleLine(QTcpSocket* socket, TSession& session,
                                        const QByteArray& line)
{
    const TRule& rule = *session.Article;
    if (line == ".") {
        QList<QByteArray> result = rule.Result;
        const bool drop = rule.DropAfterArticle;
        session.Article.reset();
        m_articles.append(session.Text);
        m_articleConnections.append(session.Number);
        const QByteArray id = messageIdOf(session.Text);
        if (m_refuseDuplicates && !id.isEmpty() &&
            std::any_of(m_kept.begin(), m_kept.end(),
                        [&](const QByteArray& a) { return messageIdOf(a) == id; }))
            result = {"441 435 Duplicate"};
        // An article refused is not kept.
        if (result.isEmpty() || !(result.first().startsWith('4') || result.first().startsWith('5')))
            m_kept.append(session.Text);
        if (m_loseEvery > 0 && m_articles.size() % m_loseEvery == 0 && !id.isEmpty())
            m_lostIds << id;
        emit ArticleReceived();
        if (session.Number == m_delayedConnection && m_answerDelay > 0) {
            QPointer<QTcpSocket> late(socket);
            QTimer::singleShot(m_answerDelay, this, [this, late, result, drop] {
                if (!late)
                    return;
                sendLines(late, result);
                if (drop)
                    late->disconnectFromHost();
            });
            return;
        }
        sendLines(socket, result);
        if (drop)
            socket->disconnectFromHost();
        return;
    }
    if (session.Lines > 0)
        session.Text += "\r\n";
    session.Text += line;
    m_articleLines = ++session.Lines;
    if (rule.DropAfterLines >= 0 && session.Lines >= rule.DropAfterLines) {
        socket->abort();
        return;
    }
    if (rule.StallAfterLines >= 0 && session.Lines >= rule.StallAfterLines)
        session.Stalled = true;
}

void TFakeNntpServer::sendLines(QTcpSocket* socket, const QList<QByteArray>& lines)
{
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + "\r\n";
    socket->write(out);
}
