#include "app/CertificateTrust.h"

#include "app/Profiles.h"
#include "base/AppState.h"
#include "base/Logger.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFile.h"

TCertificateTrust::TCertificateTrust(TbcsNNTP& client, TAppState& state, TProfiles& profiles,
                                     TTaskFile& tasks, TLogger& logger, QObject* parent)
    : QObject(parent), m_client(client), m_state(state), m_profiles(profiles), m_tasks(tasks),
      m_logger(logger)
{
    connect(&client, &TbcsNNTP::OnCertificateRefused, this, &TCertificateTrust::Refused);
}

void TCertificateTrust::Refused(const TCertificateInfo& certificate, const QString& reason)
{
    if (certificate.IsEmpty() || !m_state.Settings.TrustedFingerprint.trimmed().isEmpty())
        return;
    emit TrustWanted(certificate, m_client.Server(), reason);
}

void TCertificateTrust::Trust(const TCertificateInfo& certificate)
{
    m_state.Settings.TrustedFingerprint = certificate.Sha256;
    m_profiles.SaveVariables();
    m_logger.LogIt(QStringLiteral("Trusted the certificate with SHA-256 fingerprint %1 for "
                                  "profile %2")
                       .arg(certificate.Sha256, m_state.ProfileName));
    if (m_tasks.Exists())
        m_tasks.ReadTasks();
}
