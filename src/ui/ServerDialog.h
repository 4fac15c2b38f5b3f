#pragma once

#include "base/ServerEntry.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

// "Server": edits one server of a profile (where it is, its security and trust, login,
// connections, SOCKS5 proxy and role), with a Test button for what is entered.
class TServerDialog : public QDialog
{
    Q_OBJECT
public:
    TServerDialog(const TServerEntry& entry, bool first, QWidget* parent = nullptr);

    // The server as the controls show it.
    TServerEntry Entry() const;

private:
    QWidget* buildConnection();
    QWidget* buildUse(bool first);
    void fill(const TServerEntry& e);

    TServerEntry m_original;
    QLineEdit* m_name;
    QLineEdit* m_host;
    QSpinBox* m_port;
    QComboBox* m_security;
    QLineEdit* m_authorities;
    QLineEdit* m_fingerprint;
    QCheckBox* m_login;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QSpinBox* m_connections;
    QComboBox* m_role;
    QSpinBox* m_priority;
    QLineEdit* m_proxyHost;
    QSpinBox* m_proxyPort;
    QLineEdit* m_proxyUser;
    QLineEdit* m_proxyPassword;
};

// The three choices of a server's security, with the stored word of each as its data.
void AddSecurityChoices(QComboBox* box);
