#pragma once

#include "base/ProfileSettings.h"

#include <QWizard>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

// The short guided setup of a first start: the news server (host, port, security, login)
// with a Test button, then the name and e-mail address posts go out under. Everything else
// keeps a new profile's values; Setup changes it later.
class TFirstStartWizard : public QWizard
{
    Q_OBJECT
public:
    explicit TFirstStartWizard(const ProfileSettings& settings, QWidget* parent = nullptr);

    // The profile's settings with what was entered.
    ProfileSettings Settings() const;

private:
    QWizardPage* buildServerPage();
    QWizardPage* buildIdentityPage();
    QWizardPage* buildDonePage();
    TServerEntry entered() const;

    ProfileSettings m_settings;
    QLineEdit* m_host;
    QSpinBox* m_port;
    QComboBox* m_security;
    QCheckBox* m_login;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QLineEdit* m_fullName;
    QLineEdit* m_email;
};
