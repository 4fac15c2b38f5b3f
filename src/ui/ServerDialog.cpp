#include "ui/ServerDialog.h"

#include "ui/ServerTestButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

template <typename W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QSpinBox* NumberBox(const char* name, int lowest, int highest, QWidget* parent)
{
    auto* box = Named(new QSpinBox(parent), name);
    box->setRange(lowest, highest);
    return box;
}

} // namespace

void AddSecurityChoices(QComboBox* box)
{
    box->addItem(QStringLiteral("None (plain NNTP)"), QStringLiteral("none"));
    box->addItem(QStringLiteral("TLS (port 563 unless given)"), QStringLiteral("tls"));
    box->addItem(QStringLiteral("STARTTLS on a plain connection"), QStringLiteral("starttls"));
}

TServerDialog::TServerDialog(const TServerEntry& entry, bool first, QWidget* parent)
    : QDialog(parent), m_original(entry)
{
    setObjectName(QStringLiteral("ServerDialog"));
    setWindowTitle(QStringLiteral("Server"));
    auto* test =
        new TServerTestButton([this] { return std::optional<TServerEntry>(Entry()); }, this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildConnection());
    layout->addWidget(buildUse(first));
    layout->addWidget(test);
    layout->addWidget(buttons);
    setMinimumWidth(480);
    fill(entry);
}

QWidget* TServerDialog::buildConnection()
{
    auto* box = new QGroupBox(QStringLiteral("Connection"), this);
    m_name = Named(new QLineEdit(box), "ServerName");
    m_host = Named(new QLineEdit(box), "ServerHost");
    m_host->setPlaceholderText(QStringLiteral("news.your-provider.net"));
    m_port = NumberBox("ServerPort", 0, 65535, box);
    m_port->setSpecialValueText(QStringLiteral("usual (119, or 563 with TLS)"));
    m_security = Named(new QComboBox(box), "ServerSecurity");
    AddSecurityChoices(m_security);
    m_authorities = Named(new QLineEdit(box), "ServerTrustedAuthorities");
    m_authorities->setPlaceholderText(QStringLiteral("PEM file of a private authority (optional)"));
    m_fingerprint = Named(new QLineEdit(box), "ServerTrustedFingerprint");
    m_fingerprint->setPlaceholderText(QStringLiteral("SHA-256 of a certificate (optional)"));
    m_login = Named(new QCheckBox(QStringLiteral("Server requires login"), box), "ServerLogin");
    m_user = Named(new QLineEdit(box), "ServerUser");
    m_password = Named(new QLineEdit(box), "ServerPassword");
    m_password->setEchoMode(QLineEdit::Password);
    connect(m_login, &QCheckBox::toggled, m_user, &QWidget::setEnabled);
    connect(m_login, &QCheckBox::toggled, m_password, &QWidget::setEnabled);
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("Name:"), m_name);
    form->addRow(QStringLiteral("Host:"), m_host);
    form->addRow(QStringLiteral("Port:"), m_port);
    form->addRow(QStringLiteral("Security:"), m_security);
    form->addRow(QStringLiteral("Trusted authorities:"), m_authorities);
    form->addRow(QStringLiteral("Trusted certificate:"), m_fingerprint);
    form->addRow(m_login);
    form->addRow(QStringLiteral("User ID:"), m_user);
    form->addRow(QStringLiteral("Password:"), m_password);
    return box;
}

QWidget* TServerDialog::buildUse(bool first)
{
    auto* box = new QGroupBox(QStringLiteral("Use"), this);
    m_connections = NumberBox("ServerConnections", 1, 32, box);
    m_role = Named(new QComboBox(box), "ServerRole");
    m_role->addItem(QStringLiteral("Post"), int(TServerRole::Post));
    m_role->addItem(QStringLiteral("Check"), int(TServerRole::Check));
    m_role->addItem(QStringLiteral("Post and check"), int(TServerRole::Both));
    m_priority = NumberBox("ServerPriority", 0, 999, box);
    m_priority->setToolTip(QStringLiteral("Among the post servers: lower first"));
    m_proxyHost = Named(new QLineEdit(box), "ServerProxyHost");
    m_proxyHost->setPlaceholderText(QStringLiteral("SOCKS5 proxy host (optional)"));
    m_proxyPort = NumberBox("ServerProxyPort", 1, 65535, box);
    m_proxyUser = Named(new QLineEdit(box), "ServerProxyUser");
    m_proxyPassword = Named(new QLineEdit(box), "ServerProxyPassword");
    m_proxyPassword->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout(box);
    // The profile's own server posts with the connections set on the Delivery page.
    if (!first)
        form->addRow(QStringLiteral("Connections:"), m_connections);
    else
        m_connections->hide();
    form->addRow(QStringLiteral("Role:"), m_role);
    form->addRow(QStringLiteral("Priority:"), m_priority);
    form->addRow(QStringLiteral("Proxy:"), m_proxyHost);
    form->addRow(QStringLiteral("Proxy port:"), m_proxyPort);
    form->addRow(QStringLiteral("Proxy user:"), m_proxyUser);
    form->addRow(QStringLiteral("Proxy password:"), m_proxyPassword);
    return box;
}

void TServerDialog::fill(const TServerEntry& e)
{
    m_name->setText(e.Name);
    m_host->setText(e.Host);
    m_port->setValue(e.Port);
    m_security->setCurrentIndex(qMax(0, m_security->findData(e.Security.toLower())));
    m_authorities->setText(e.TrustedAuthorities);
    m_fingerprint->setText(e.TrustedFingerprint);
    m_login->setChecked(e.LoginRequired);
    m_user->setText(e.UserID);
    m_password->setText(e.Password);
    m_user->setEnabled(e.LoginRequired);
    m_password->setEnabled(e.LoginRequired);
    m_connections->setValue(e.Connections);
    m_role->setCurrentIndex(qMax(0, m_role->findData(int(e.Role))));
    m_priority->setValue(e.Priority);
    m_proxyHost->setText(e.ProxyHost);
    m_proxyPort->setValue(e.ProxyPort);
    m_proxyUser->setText(e.ProxyUser);
    m_proxyPassword->setText(e.ProxyPassword);
}

TServerEntry TServerDialog::Entry() const
{
    TServerEntry e = m_original;
    e.Name = m_name->text().trimmed();
    e.Host = m_host->text().trimmed();
    e.Port = m_port->value();
    // "host:port" typed into the host field is taken as such.
    if (TServerEntry typed; typed.SetAddress(e.Host) && typed.Port > 0) {
        e.Host = typed.Host;
        e.Port = typed.Port;
    }
    e.Security = m_security->currentData().toString();
    e.TrustedAuthorities = m_authorities->text().trimmed();
    e.TrustedFingerprint = m_fingerprint->text().trimmed();
    e.LoginRequired = m_login->isChecked();
    e.UserID = e.LoginRequired ? m_user->text() : QString();
    e.Password = e.LoginRequired ? m_password->text() : QString();
    e.Connections = m_connections->value();
    e.Role = TServerRole(m_role->currentData().toInt());
    e.Priority = m_priority->value();
    e.ProxyHost = m_proxyHost->text().trimmed();
    e.ProxyPort = m_proxyPort->value();
    e.ProxyUser = m_proxyUser->text();
    e.ProxyPassword = m_proxyPassword->text();
    if (e.Name.isEmpty())
        e.Name = e.Host;
    return e;
}
