#include "ui/SetupForm.h"

#include "ui/DeliveryPage.h"
#include "ui/FileDialogFilter.h"
#include "ui/RecoveryBox.h"
#include "ui/ServerDialog.h"
#include "ui/ServerListBox.h"
#include "upload/SubjectLine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <limits>

namespace {

constexpr int SetupHelpTopic = 400;

template <typename T> T ParseNumber(const QString& text, T fallback)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    // A number that does not fit the stored width is as unusable as letters.
    if (!ok || value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
        return fallback;
    return static_cast<T>(value);
}

QLineEdit* NamedEdit(const char* name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QCheckBox* NamedCheck(const char* name, const QString& text, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QFormLayout* NewForm()
{
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return form;
}

} // namespace

TSetupForm::TSetupForm(const ProfileSettings& settings, QWidget* parent)
    : TSetupForm(settings, {60, 30, 0}, QStringLiteral("Maximum  lines per article:"), parent)
{
}

TSetupForm::TSetupForm(const ProfileSettings& settings, const TFallbacks& fallbacks,
                       const QString& maxLinesLabel, QWidget* parent)
    : QDialog(parent), m_original(settings), m_fallbacks(fallbacks)
{
    setObjectName(QStringLiteral("SetupForm"));
    setWindowTitle(QStringLiteral("Quorvel Setup"));

    m_pages = new QTabWidget(this);
    m_pages->addTab(BuildUserPage(), QStringLiteral("User"));
    m_pages->addTab(BuildSystemPage(), QStringLiteral("System"));
    m_pages->addTab(BuildArticlesPage(maxLinesLabel), QStringLiteral("Articles"));
    m_delivery = new TDeliveryPage;
    m_pages->addTab(m_delivery, QStringLiteral("Delivery"));

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    buttons->button(QDialogButtonBox::Help)->setText(QStringLiteral("&Help"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { emit HelpRequested(SetupHelpTopic); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addWidget(buttons);
    setMinimumWidth(460);

    Fill(settings);
    m_serverList->Fill(settings);
}

QWidget* TSetupForm::BuildUserPage()
{
    auto* page = new QWidget;
    m_emailAddress = NamedEdit("EmailAddress", page);
    m_replyTo = NamedEdit("ReplyTo", page);
    m_organization = NamedEdit("Organization", page);
    m_fullName = NamedEdit("FullName", page);
    m_emailAddress->setPlaceholderText(QStringLiteral("you@your-provider.net"));
    m_fullName->setPlaceholderText(QStringLiteral("Your name as readers see it"));
    auto* identity = NewForm();
    identity->addRow(QStringLiteral("Email Address:"), m_emailAddress);
    identity->addRow(QStringLiteral("Reply To:"), m_replyTo);
    identity->addRow(QStringLiteral("Organization"), m_organization);
    identity->addRow(QStringLiteral("Full Name:"), m_fullName);

    auto* login = new QGroupBox(QStringLiteral("Server Login"), page);
    m_loginCheckBox = NamedCheck("LoginCheckBox", QStringLiteral("Server Requires Login"), login);
    m_userID = NamedEdit("UserID", login);
    m_rememberPassword = NamedCheck("RememberPasswordCheckbox",
                                    QStringLiteral("Remember Password Between Sessions"), login);
    m_password = NamedEdit("Password", login);
    m_password->setEchoMode(QLineEdit::Password);
    auto* loginForm = NewForm();
    loginForm->addRow(m_loginCheckBox);
    loginForm->addRow(QStringLiteral("User ID:"), m_userID);
    loginForm->addRow(m_rememberPassword);
    loginForm->addRow(QStringLiteral("Password:"), m_password);
    m_clearTextWarning = new QLabel(
        QStringLiteral("Without TLS (System page) the password goes over the network in clear "
                       "text."),
        login);
    m_clearTextWarning->setObjectName(QStringLiteral("ClearTextWarning"));
    m_clearTextWarning->setWordWrap(true);
    loginForm->addRow(m_clearTextWarning);
    login->setLayout(loginForm);
    connect(m_loginCheckBox, &QCheckBox::toggled, this, &TSetupForm::ApplyLoginRule);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(identity);
    layout->addWidget(login);
    layout->addStretch();
    return page;
}

QWidget* TSetupForm::BuildSystemPage()
{
    auto* page = new QWidget;
    m_server = NamedEdit("Server", page);
    m_server->setToolTip(QStringLiteral("host, host:port, or [IPv6 address]:port"));
    m_server->setPlaceholderText(QStringLiteral("news.example.com or news.example.com:563"));
    m_security = new QComboBox(page);
    m_security->setObjectName(QStringLiteral("Security"));
    // The stored word of each choice goes with it.
    AddSecurityChoices(m_security);
    m_authorities = NamedEdit("TrustedAuthorities", page);
    m_authorities->setPlaceholderText(QStringLiteral("PEM file of a private authority (optional)"));
    m_fingerprint = NamedEdit("TrustedFingerprint", page);
    m_fingerprint->setPlaceholderText(
        QStringLiteral("SHA-256 of the one certificate trusted as it is (optional)"));
    connect(m_security, &QComboBox::currentIndexChanged, this,
            [this] { m_clearTextWarning->setVisible(m_security->currentData() == "none"); });
    m_connectTimeout = NamedEdit("ConnectTimeout", page);
    m_disconnect =
        NamedCheck("DisconnectCheckbox", QStringLiteral("Disconnect when tasks completed"), page);
    m_postTimeout = NamedEdit("PostTimeout", page);
    for (QLineEdit* number : {m_connectTimeout, m_postTimeout})
        number->setMaximumWidth(90);
    auto* form = NewForm();
    form->addRow(QStringLiteral("News server:"), m_server);
    form->addRow(QStringLiteral("Connection security:"), m_security);
    form->addRow(QStringLiteral("Trusted authorities:"), m_authorities);
    form->addRow(QStringLiteral("Trusted certificate:"), m_fingerprint);
    form->addRow(QStringLiteral("Connect timeout in seconds:"), m_connectTimeout);
    form->addRow(m_disconnect);
    form->addRow(QStringLiteral("Post timeout in seconds:"), m_postTimeout);
    m_serverList = new TServerListBox([this] { return Settings(); },
                                      [this](const ProfileSettings& s) { Fill(s); }, page);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(m_serverList, 1);
    return page;
}

QWidget* TSetupForm::BuildArticlesPage(const QString& maxLinesLabel)
{
    auto* page = new QWidget;
    m_maxLines = NamedEdit("MaxLines", page);
    m_maxLines->setToolTip(QStringLiteral("0 posts each file as one article; 5000 makes articles "
                                          "of about 310 KB, which every server takes"));
    m_maxLines->setMaximumWidth(90);
    m_template = NamedEdit("Template", page);
    auto* yencTemplate = new QPushButton(QStringLiteral("yEnc style"), page);
    yencTemplate->setObjectName(QStringLiteral("YEncTemplate"));
    yencTemplate->setToolTip(QStringLiteral("Encoding yEnc with the subject template "
                                            "downloaders expect: ") +
                             TSubjectLine::YEncTemplate());
    // A yEnc subject over uuencoded bodies would mislead every downloader: both change.
    connect(yencTemplate, &QPushButton::clicked, this, [this] {
        m_template->setText(TSubjectLine::YEncTemplate());
        m_encoding->setCurrentIndex(m_encoding->findData(QStringLiteral("yenc")));
    });
    auto* templateRow = new QHBoxLayout;
    templateRow->addWidget(m_template, 1);
    templateRow->addWidget(yencTemplate);
    m_encoding = new QComboBox(page);
    m_encoding->setObjectName(QStringLiteral("Encoding"));
    m_encoding->addItem(QStringLiteral("uuencode"), QStringLiteral("uuencode"));
    m_encoding->addItem(QStringLiteral("yEnc"), QStringLiteral("yenc"));
    // Text files that are not UTF-8 are marked with this charset; the list holds the common
    // ones and any other name can be typed.
    m_textCharset = new QComboBox(page);
    m_textCharset->setObjectName(QStringLiteral("TextCharset"));
    m_textCharset->setEditable(true);
    m_textCharset->addItems({QStringLiteral("ISO-8859-1"), QStringLiteral("ISO-8859-15"),
                             QStringLiteral("windows-1252"), QStringLiteral("ISO-8859-2"),
                             QStringLiteral("windows-1250"), QStringLiteral("KOI8-R")});
    m_textCharset->setToolTip(QStringLiteral("Text files in UTF-8 are marked UTF-8; others with "
                                             "this charset"));
    m_includeText =
        NamedCheck("IncludeTextCheckbox", QStringLiteral("Include text in each article"), page);
    m_sigFile = NamedEdit("SigFile", page);
    auto* browse = new QPushButton(QStringLiteral("Browse"), page);
    browse->setObjectName(QStringLiteral("SigfileBrowse"));
    connect(browse, &QPushButton::clicked, this, &TSetupForm::SigfileBrowseClick);
    auto* sigRow = new QHBoxLayout;
    sigRow->addWidget(m_sigFile, 1);
    sigRow->addWidget(browse);
    m_crosspost = NamedCheck("CrosspostCheckbox", QStringLiteral("Crosspost to news groups"), page);

    auto* form = NewForm();
    form->addRow(maxLinesLabel, m_maxLines);
    form->addRow(QStringLiteral("Subject line template:"), templateRow);
    form->addRow(QStringLiteral("Binary files encoded as:"), m_encoding);
    form->addRow(QStringLiteral("Text not in UTF-8 is in:"), m_textCharset);
    form->addRow(m_includeText);
    form->addRow(QStringLiteral("Signature file:"), sigRow);
    form->addRow(m_crosspost);
    m_recovery = new TRecoveryBox(page);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(m_recovery);
    layout->addStretch();
    return page;
}

void TSetupForm::Fill(const ProfileSettings& s)
{
    m_emailAddress->setText(s.EmailAddress);
    m_replyTo->setText(s.ReplyTo);
    m_organization->setText(s.Organization);
    m_fullName->setText(s.FullName);
    m_userID->setText(s.UserID);
    m_password->setText(s.Password);
    m_rememberPassword->setChecked(s.RememberPassword);
    m_loginCheckBox->setChecked(s.LoginRequired);
    // The box may not have changed state, so the rule is brought in once more.
    ApplyLoginRule(s.LoginRequired);

    m_server->setText(s.Host);
    m_security->setCurrentIndex(qMax(0, m_security->findData(s.Security.toLower())));
    m_clearTextWarning->setVisible(m_security->currentData() == "none");
    m_authorities->setText(s.TrustedAuthorities);
    m_fingerprint->setText(s.TrustedFingerprint);
    m_connectTimeout->setText(QString::number(s.Timeout));
    m_disconnect->setChecked(s.DisconnectWhenDone);
    m_postTimeout->setText(QString::number(s.PostTimeout));

    m_maxLines->setText(QString::number(s.MaxLines));
    m_template->setText(s.Template);
    m_encoding->setCurrentIndex(qMax(0, m_encoding->findData(s.Encoding.toLower())));
    m_textCharset->setCurrentText(s.TextCharset);
    m_includeText->setChecked(s.IncludeText);
    m_sigFile->setText(s.SigFile);
    m_crosspost->setChecked(s.CrossPost);
    m_recovery->Fill(s);
    m_delivery->Fill(s);
}

void TSetupForm::ApplyLoginRule(bool loginRequired)
{
    if (!loginRequired) {
        m_userID->clear();
        m_password->clear();
        m_rememberPassword->setChecked(false);
    }
    m_userID->setEnabled(loginRequired);
    m_password->setEnabled(loginRequired);
    m_rememberPassword->setEnabled(loginRequired);
}

void TSetupForm::SigfileBrowseClick()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Set signature file"), m_sigFile->text(),
        ToDialogFilter(QStringLiteral("Text Files|*.txt|All Files|*.*")));
    if (!path.isEmpty())
        m_sigFile->setText(path);
}

ProfileSettings TSetupForm::Settings() const
{
    ProfileSettings s = m_original;
    s.EmailAddress = m_emailAddress->text();
    s.ReplyTo = m_replyTo->text();
    s.Organization = m_organization->text();
    s.FullName = m_fullName->text();
    s.LoginRequired = m_loginCheckBox->isChecked();
    s.UserID = m_userID->text();
    s.RememberPassword = m_rememberPassword->isChecked();
    s.Password = m_password->text();
    s.Host = m_server->text();
    s.Security = m_security->currentData().toString();
    s.TrustedAuthorities = m_authorities->text().trimmed();
    s.TrustedFingerprint = m_fingerprint->text().trimmed();
    s.Timeout = ParseNumber<qint16>(m_connectTimeout->text(), m_fallbacks.Timeout);
    s.DisconnectWhenDone = m_disconnect->isChecked();
    s.PostTimeout = ParseNumber<qint16>(m_postTimeout->text(), m_fallbacks.PostTimeout);
    s.MaxLines = ParseNumber<qint32>(m_maxLines->text(), m_fallbacks.MaxLines);
    s.Template = m_template->text();
    s.Encoding = m_encoding->currentData().toString();
    s.TextCharset = m_textCharset->currentText().trimmed();
    s.IncludeText = m_includeText->isChecked();
    s.SigFile = m_sigFile->text();
    s.CrossPost = m_crosspost->isChecked();
    m_recovery->Apply(s);
    m_delivery->Apply(s);
    m_serverList->ApplyTo(s);
    return s;
}
