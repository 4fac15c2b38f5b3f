#include "ui/FirstStartWizard.h"

#include "base/ServerList.h"
#include "ui/ServerDialog.h"
#include "ui/ServerTestButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

template <typename W> W* Named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// A page whose fields the wizard asks for before Next (a '*' after the field's name).
class TPage : public QWizardPage
{
public:
    using QWizardPage::QWizardPage;
    using QWizardPage::registerField;
};

QLabel* Note(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

} // namespace

TFirstStartWizard::TFirstStartWizard(const ProfileSettings& settings, QWidget* parent)
    : QWizard(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("FirstStartWizard"));
    setWindowTitle(QStringLiteral("Welcome to Quorvel"));
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage);
    addPage(buildServerPage());
    addPage(buildIdentityPage());
    setButtonText(QWizard::FinishButton, QStringLiteral("Finish and download the groups"));
    // Room for the test's report under the fields.
    setMinimumSize(560, 560);
}

QWizardPage* TFirstStartWizard::buildServerPage()
{
    auto* page = new TPage(this);
    page->setTitle(QStringLiteral("Your news server"));
    page->setSubTitle(QStringLiteral("Quorvel posts files to Usenet through your provider's "
                                     "news server. Its name and login are in your provider's "
                                     "welcome mail."));
    TServerEntry first = TServerList::FromProfile(m_settings).Entries().first();
    m_host = Named(new QLineEdit(page), "WizardHost");
    m_host->setPlaceholderText(QStringLiteral("news.your-provider.net"));
    // A new profile's "localhost" is nobody's server: the field starts empty.
    if (first.Host != QLatin1String("localhost"))
        m_host->setText(first.Host);
    m_port = Named(new QSpinBox(page), "WizardPort");
    m_port->setRange(0, 65535);
    m_port->setSpecialValueText(QStringLiteral("usual (119, or 563 with TLS)"));
    m_port->setValue(first.Port);
    m_security = Named(new QComboBox(page), "WizardSecurity");
    AddSecurityChoices(m_security);
    // Most providers take TLS on port 563 today.
    m_security->setCurrentIndex(
        qMax(0, m_security->findData(first.Host == QLatin1String("localhost")
                                         ? QStringLiteral("tls")
                                         : first.Security.toLower())));
    // Until a security is chosen, a port typed with the server or in its field chooses it.
    connect(m_security, &QComboBox::activated, this, [this] { m_securityChosen = true; });
    connect(m_host, &QLineEdit::textEdited, this, [this] { followPort(); });
    connect(m_port, &QSpinBox::valueChanged, this, [this] { followPort(); });
    m_login =
        Named(new QCheckBox(QStringLiteral("The server requires a login"), page), "WizardLogin");
    m_login->setChecked(first.LoginRequired);
    m_user = Named(new QLineEdit(first.UserID, page), "WizardUser");
    m_user->setPlaceholderText(QStringLiteral("from your provider; empty for none"));
    m_password = Named(new QLineEdit(first.Password, page), "WizardPassword");
    m_password->setEchoMode(QLineEdit::Password);
    // A user name typed means a login: no box to tick first, none to untick for a server
    // that takes anybody.
    connect(m_user, &QLineEdit::textChanged, m_login,
            [this](const QString& user) { m_login->setChecked(!user.trimmed().isEmpty()); });
    auto* test =
        new TServerTestButton([this] { return std::optional<TServerEntry>(entered()); }, page);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Server:"), m_host);
    form->addRow(QStringLiteral("Port:"), m_port);
    form->addRow(QStringLiteral("Security:"), m_security);
    form->addRow(m_login);
    form->addRow(QStringLiteral("User name:"), m_user);
    form->addRow(QStringLiteral("Password:"), m_password);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(test);
    layout->addStretch();
    page->registerField(QStringLiteral("host*"), m_host);
    return page;
}

QWizardPage* TFirstStartWizard::buildIdentityPage()
{
    auto* page = new TPage(this);
    page->setTitle(QStringLiteral("Who posts"));
    page->setSubTitle(QStringLiteral("Your posts go out under this name and address (the From "
                                     "line). Many posters use an address only for Usenet."));
    m_fullName = Named(new QLineEdit(m_settings.FullName, page), "WizardFullName");
    m_fullName->setPlaceholderText(QStringLiteral("Your name as readers see it"));
    m_email = Named(new QLineEdit(page), "WizardEmail");
    m_email->setPlaceholderText(QStringLiteral("you@your-provider.net"));
    // The example address older profiles started with is nobody's: the field starts empty.
    if (m_settings.EmailAddress != ProfileSettings().EmailAddress)
        m_email->setText(m_settings.EmailAddress);
    auto* form = new QFormLayout;
    // The address first: it is the one asked for, and the page opens with the cursor in it.
    form->addRow(QStringLiteral("E-mail address:"), m_email);
    form->addRow(QStringLiteral("Name:"), m_fullName);
    QWidget::setTabOrder(m_email, m_fullName);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(Note(
        QStringLiteral("Finish downloads the server's list of groups at once. Then choose a "
                       "group in the group pane (Groups > Find, Ctrl+F, finds one in a long "
                       "list) and drop a folder or files onto the window, or choose File > Add "
                       "folder…: posting starts right away. Files go out yEnc encoded in parts "
                       "of about 700 KB over 4 connections, and are checked on the server "
                       "afterwards.\n\nSetup (the toolbar's Setup button) changes all of this, "
                       "and lists further servers to post or check through."),
        page));
    layout->addStretch();
    page->registerField(QStringLiteral("email*"), m_email);
    return page;
}

void TFirstStartWizard::followPort()
{
    if (m_securityChosen)
        return;
    const int port = entered().Port;
    if (port == 0)
        return;
    const QString mode = SecurityForPort(port);
    m_security->setCurrentIndex(qMax(0, m_security->findData(mode)));
}

QString TFirstStartWizard::SecurityForPort(int port)
{
    // Providers take TLS on 563 and, for networks that let little else through, on 443;
    // every other port a server is written with is plain NNTP (119, a test server's own).
    return port == 563 || port == 443 ? QStringLiteral("tls") : QStringLiteral("none");
}

TServerEntry TFirstStartWizard::entered() const
{
    TServerEntry e = TServerList::FromProfile(m_settings).Entries().first();
    e.Host = m_host->text().trimmed();
    e.Port = m_port->value();
    if (TServerEntry typed; typed.SetAddress(e.Host) && typed.Port > 0) {
        e.Host = typed.Host;
        e.Port = typed.Port;
    }
    e.Name = e.Host;
    e.Security = m_security->currentData().toString();
    e.LoginRequired = m_login->isChecked();
    e.UserID = e.LoginRequired ? m_user->text().trimmed() : QString();
    e.Password = e.LoginRequired ? m_password->text() : QString();
    return e;
}

ProfileSettings TFirstStartWizard::Settings() const
{
    ProfileSettings s = m_settings;
    TServerList list = TServerList::FromProfile(s);
    QList<TServerEntry> entries = list.Entries();
    entries[0] = entered();
    TServerList(entries).ToProfile(s);
    // A password typed here is kept (in the keyring where one answers).
    s.RememberPassword = s.LoginRequired && !s.Password.isEmpty();
    s.FullName = m_fullName->text().trimmed();
    s.EmailAddress = m_email->text().trimmed();
    return s;
}
