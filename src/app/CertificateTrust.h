#pragma once

#include "net/TlsChannel.h"

#include <QObject>
#include <QString>

struct TAppState;
class TbcsNNTP;
class TLogger;
class TProfiles;
class TTaskFile;

// Trusting one server certificate that no authority vouches for (a private server's
// self-signed one). When the news client refuses a certificate and the profile trusts none
// yet, TrustWanted offers it; a front end that can ask the user asks, and Trust stores that
// certificate's fingerprint in the profile, saves the settings and reloads the tasks the
// refusal saved. A profile that already trusts a certificate is not offered another: a
// changed certificate stays refused, naming both fingerprints.
class TCertificateTrust : public QObject
{
    Q_OBJECT
public:
    TCertificateTrust(TbcsNNTP& client, TAppState& state, TProfiles& profiles, TTaskFile& tasks,
                      TLogger& logger, QObject* parent = nullptr);

    void Trust(const TCertificateInfo& certificate);
    // A certificate the client's server showed was refused (also on a further connection of
    // the same server).
    void Refused(const TCertificateInfo& certificate, const QString& reason);

signals:
    void TrustWanted(const TCertificateInfo& certificate, const QString& server,
                     const QString& reason);

private:
    TbcsNNTP& m_client;
    TAppState& m_state;
    TProfiles& m_profiles;
    TTaskFile& m_tasks;
    TLogger& m_logger;
};
