#pragma once

#include <QString>

// A private INN 2 instance for one test: a fresh folder under /tmp owned by the user news, a
// free port on 127.0.0.1, innd started through scripts/inn-instance.sh and waited for until
// it greets with "200", and stopped by its process id (folder removed) when this goes.
class TInnServer
{
public:
    struct TOptions
    {
        QString Auth;   // "user:password": posting needs AUTHINFO
        int Groups = 0; // extra groups quorvel.bulk.NNNNNNN
        // A folder made by scripts/test-pki.sh: the port also offers STARTTLS with its
        // server certificate.
        QString TlsDir = QString();
    };

    // Makes the test authority and certificates (scripts/test-pki.sh) in folder.
    static bool MakeTestCertificates(const QString& folder, QString* error);

    TInnServer() = default;
    ~TInnServer();
    TInnServer(const TInnServer&) = delete;
    TInnServer& operator=(const TInnServer&) = delete;

    // Whether inn2 is installed; a test without it is skipped.
    static bool Available();
    static QString SkipReason() { return "inn2 is not installed (scripts/install-deps.sh)"; }

    bool Start(const TOptions& options, QString* error);
    bool Start(QString* error) { return Start(TOptions(), error); }
    void Stop();

    quint16 Port() const { return m_port; }
    // "127.0.0.1:port", for the client's Server setting.
    QString Server() const;
    QString Folder() const { return m_folder; }
    qint64 ProcessId() const { return m_pid; }

    // Starts a reader that speaks TLS from the first byte, with the instance's certificate or
    // the pair given (file paths); its port, or 0 with the reason in error.
    quint16 StartTlsListener(QString* error, const QString& certificate = QString(),
                             const QString& key = QString());

    // Makes the test authority in pkiFolder and starts with a login (auth, "user:password"),
    // STARTTLS on the port and a reader that speaks TLS from the first byte; that reader's
    // port, or 0 with the reason in error.
    quint16 StartWithTls(const QString& pkiFolder, const QString& auth, QString* error);

    // Adds a group through ctlinnd; false with the tool's output in error on failure.
    bool NewGroup(const QString& name, QString* error);
    // Feeds every article this instance takes to other through INN's own innfeed (as its
    // peer, from 127.0.0.2); false with the reason once innfeed does not connect.
    bool FeedTo(const TInnServer& other, QString* error);
    // Removes an article ("<id>") through ctlinnd, as if it had never reached the server; it
    // leaves the overview too.
    bool CancelArticle(const QString& messageId, QString* error);

private:
    static QString script(const QString& name = "inn-instance.sh");
    static quint16 freePort();

    QString m_folder;
    quint16 m_port = 0;
    qint64 m_pid = 0;
};

// Two instances where the first (A, posted to) feeds every article to the second (B, the one
// checked on), each on a port of its own; A is stopped first, so its innfeed ends with it.
struct TInnPair
{
    TInnServer A;
    TInnServer B;

    bool Start(QString* error) { return B.Start(error) && A.Start(error) && A.FeedTo(B, error); }
    void Stop()
    {
        A.Stop();
        B.Stop();
    }
    ~TInnPair() { Stop(); }
};

// Skips the running test when the news server is missing.
#define QUORVEL_REQUIRE_INN()                                                                      \
    do {                                                                                           \
        if (!TInnServer::Available())                                                              \
            QSKIP(qPrintable(TInnServer::SkipReason()));                                           \
    } while (false)
