#include "net/ServerProbe.h"

#include "net/bcsNNTP.h"

namespace {

int greetingCode(const QString& greeting)
{
    int code = 0;
    QString text;
    return TbcsNNTP::ParseReplyLine(greeting, code, text) ? code : 0;
}

} // namespace

QStringList TProbeResult::Lines() const
{
    QStringList lines;
    lines << QStringLiteral("Server: %1").arg(Server);
    lines << QStringLiteral("Greeting: %1")
                 .arg(Greeting.isEmpty() ? QStringLiteral("(none)") : Greeting);
    lines << QStringLiteral("TLS: %1").arg(Tls.isEmpty() ? QStringLiteral("none") : Tls);
    // A login is only tried once the server has greeted.
    if (LoginTried && !Greeting.isEmpty())
        lines << QStringLiteral("Login: %1")
                     .arg(LoggedIn ? QStringLiteral("accepted") : QStringLiteral("refused"));
    if (PostingAllowed)
        lines << QStringLiteral("Posting: %1 (%2)")
                     .arg(*PostingAllowed ? QStringLiteral("allowed")
                                          : QStringLiteral("not allowed"),
                          PostingReason);
    if (!Error.isEmpty())
        lines << QStringLiteral("Failed: %1").arg(Error);
    return lines;
}

TServerProbe::TServerProbe(QObject* parent) : QObject(parent), m_client(new TbcsNNTP(this))
{
    connect(m_client, &TbcsNNTP::OnCapabilities, this, &TServerProbe::capabilities);
    connect(m_client, &TbcsNNTP::OnError, this, &TServerProbe::failed);
}

TServerProbe::~TServerProbe() = default;

void TServerProbe::Start(const TServerEntry& server, int timeout)
{
    // A test still running gives way to the new one.
    if (std::exchange(m_running, false))
        m_client->Cancel();
    m_result = TProbeResult();
    m_result.Server = server.Host + u':' + QString::number(server.EffectivePort());
    m_running = true;
    m_client->SetServer(server.Address());
    m_client->SetTls(
        {TlsModeFromText(server.Security), server.TrustedAuthorities, server.TrustedFingerprint});
    m_client->SetTimeout(timeout);
    m_client->SetAuthenticate(server.LoginRequired);
    m_client->SetUserName(server.UserID);
    m_client->SetPassword(server.Password);
    m_client->SetSocksProxy(TSocksProxy::Of(server));
    if (server.LoginRequired && (server.UserID.isEmpty() || server.Password.isEmpty())) {
        failed(QStringLiteral("a login is set, but no user name or password: enter both"));
        return;
    }
    m_result.LoginTried = server.LoginRequired;
    m_client->Capabilities();
}

void TServerProbe::capabilities(const QStringList& list)
{
    m_result.Capabilities = list;
    m_result.LoggedIn = m_client->LoggedIn();
    const int greeting = greetingCode(m_client->Greeting());
    m_result.PostingAllowed = greeting == 200;
    m_result.PostingReason = QStringLiteral("greeting %1").arg(greeting);
    if (!list.isEmpty()) {
        // RFC 3977 5.2.2: POST is listed when posting is allowed now (after the login).
        const bool post = std::any_of(list.begin(), list.end(), [](const QString& c) {
            return c.section(u' ', 0, 0).compare(QLatin1String("POST"), Qt::CaseInsensitive) == 0;
        });
        m_result.PostingAllowed = post;
        m_result.PostingReason = post ? QStringLiteral("CAPABILITIES lists POST")
                                      : QStringLiteral("CAPABILITIES lists no POST");
    }
    finish();
}

void TServerProbe::failed(const QString& text)
{
    if (!m_running)
        return;
    m_result.Error = text;
    m_result.LoggedIn = m_client->LoggedIn();
    if (const int code = greetingCode(m_client->Greeting()); code == 200 || code == 201) {
        m_result.PostingAllowed = code == 200;
        m_result.PostingReason = QStringLiteral("greeting %1").arg(code);
    }
    finish();
}

void TServerProbe::finish()
{
    m_running = false;
    m_result.Greeting = m_client->Greeting();
    m_result.Tls = m_client->TlsDescription();
    m_client->Quit();
    emit Finished(m_result);
}
