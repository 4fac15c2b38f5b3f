#pragma once

#include "base/ServerEntry.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class TbcsNNTP;

// What a test of a server found: whether it answered, its greeting, the protection of the
// connection, the login and whether it lets us post.
struct TProbeResult
{
    QString Server;   // host:port as connected
    QString Greeting; // the server's first line, empty when none came
    QString Tls;      // protocol and cipher, empty without TLS
    bool LoginTried = false;
    bool LoggedIn = false;
    // RFC 3977: a 201 greeting refuses posting; after the login a CAPABILITIES answer
    // without POST does too. Unknown when the test failed before the greeting.
    std::optional<bool> PostingAllowed;
    QString PostingReason;    // what told us
    QStringList Capabilities; // empty when the server does not offer the command
    QString Error;            // why the test failed, empty when it passed

    bool Passed() const { return Error.isEmpty(); }
    // The result in lines a user reads, the same in the window and the terminal.
    QStringList Lines() const;
};

// Tests a server: connects as its entry says (security, trust, login), reads the greeting,
// logs in, asks CAPABILITIES and leaves. The window's and the wizard's Test button and
// "quorvel-cli server test" use it.
class TServerProbe : public QObject
{
    Q_OBJECT
public:
    explicit TServerProbe(QObject* parent = nullptr);
    ~TServerProbe() override;

    // Starts the test; Finished reports its result. timeout: seconds per step, 0 for none.
    void Start(const TServerEntry& server, int timeout);
    // The client it talks through, for tests (the time-out second, the host lookup).
    TbcsNNTP& Client() { return *m_client; }

signals:
    void Finished(const TProbeResult& result);

private:
    void capabilities(const QStringList& list);
    void failed(const QString& text);
    void finish();

    TbcsNNTP* m_client;
    TProbeResult m_result;
    bool m_running = false;
};
