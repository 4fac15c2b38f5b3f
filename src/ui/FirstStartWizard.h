#pragma once

#include "base/ProfileSettings.h"

#include <QWizard>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

// The short guided setup of a first start: the news server (host, port, security, login)
// with a Test button, then the name and e-mail address posts go out under; its Finish is
// followed by the download of the server's group list (the window queues it). Everything
// else keeps a new profile's values; Setup changes it later.
class TFirstStartWizard : public QWizard
{
    Q_OBJECT
public:
    explicit TFirstStartWizard(const ProfileSettings& settings, QWidget* parent = nullptr);

    // The profile's settings with what was entered.
    ProfileSettings Settings() const;
    // The security a port stands for while none was chosen: "tls" on 563 and 443, else
    // "none".
    static QString SecurityForPort(int port);

private:
    QWizardPage* buildServerPage();
    QWizardPage* buildIdentityPage();
    TServerEntry entered() const;
    void followPort();

    ProfileSettings m_settings;
    QLineEdit* m_host;
    QSpinBox* m_port;
    QComboBox* m_security;
    QCheckBox* m_login;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_fullName;
    QLineEdit* m_email;
    bool m_securityChosen = false;
};
