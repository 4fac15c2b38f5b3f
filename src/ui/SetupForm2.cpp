#include "ui/SetupForm2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPointer>
#include <QTabWidget>
#include <QVBoxLayout>

TSetupForm2::TSetupForm2(const ProfileSettings& settings, TEntryLister listEntries, QWidget* parent)
    : TSetupForm(settings, {0, 0, 0}, QStringLiteral("Maximum lines per article:"), parent),
      m_listEntries(std::move(listEntries))
{
    setObjectName(QStringLiteral("SetupForm2"));
    Pages()->addTab(BuildDialupPage(), QStringLiteral("Dial-up"));

    // The chosen name comes first, so filling the list can find it.
    m_selectedConnection = settings.RASConnection;
    m_useOpen->setChecked(settings.RASUseAnotherConnection);
    m_closeAfter->setChecked(settings.RASCloseConnectionAfter);
    m_userName->setText(settings.RASUserName);
    m_password->setText(settings.RASPassword);
    m_savePassword->setChecked(settings.SaveRasPassword);
    m_openBefore->setChecked(settings.RASOpenBefore);
    ApplyDialupRule(settings.RASOpenBefore);
}

QWidget* TSetupForm2::BuildDialupPage()
{
    auto* page = new QWidget;
    m_openBefore = new QCheckBox(
        QStringLiteral("Open dial-up connection before connecting to news server"), page);
    m_openBefore->setObjectName(QStringLiteral("RASOpenDialupCheckbox"));
    m_useOpen = new QCheckBox(QStringLiteral("Use an already open connection"), page);
    m_useOpen->setObjectName(QStringLiteral("RASUseOpenConnectionCheckbox"));
    m_connections = new QComboBox(page);
    m_connections->setObjectName(QStringLiteral("ConnectionComboBox"));
    m_closeAfter =
        new QCheckBox(QStringLiteral("Close dial-up connection after going offline"), page);
    m_closeAfter->setObjectName(QStringLiteral("RASCloseConnectionCheckBox"));
    m_userName = new QLineEdit(page);
    m_userName->setObjectName(QStringLiteral("RASUserName"));
    m_password = new QLineEdit(page);
    m_password->setObjectName(QStringLiteral("RASPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_savePassword = new QCheckBox(QStringLiteral("Save Password"), page);
    m_savePassword->setObjectName(QStringLiteral("SaveRasPass"));

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->addRow(m_openBefore);
    form->addRow(m_useOpen);
    form->addRow(QStringLiteral("Connection"), m_connections);
    form->addRow(m_closeAfter);
    form->addRow(QStringLiteral("User Name:"), m_userName);
    form->addRow(QStringLiteral("Password:"), m_password);
    form->addRow(m_savePassword);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addStretch();

    connect(m_openBefore, &QCheckBox::toggled, this, &TSetupForm2::ApplyDialupRule);
    // Only a pick by the user counts; filling the list must not clear the login fields.
    connect(m_connections, &QComboBox::activated, this, &TSetupForm2::ConnectionPicked);
    return page;
}

void TSetupForm2::ApplyDialupRule(bool openBefore)
{
    if (openBefore) {
        if (m_connections->count() == 0 && !m_listing && m_listEntries) {
            m_listing = true;
            // The answer may come after the dialog is gone.
            m_listEntries([self = QPointer<TSetupForm2>(this)](const QStringList& names) {
                if (self)
                    self->EntriesListed(names);
            });
        }
    } else {
        m_userName->clear();
        m_password->clear();
        m_closeAfter->setChecked(false);
        m_connections->clear();
    }
    for (QWidget* w : std::initializer_list<QWidget*>{m_useOpen, m_connections, m_userName,
                                                      m_password, m_closeAfter})
        w->setEnabled(openBefore);
}

void TSetupForm2::EntriesListed(const QStringList& names)
{
    m_listing = false;
    // Unchecked while the names were on their way: the list stays empty.
    if (!m_openBefore->isChecked())
        return;
    m_connections->clear();
    m_connections->addItems(names);
    SelectConnectionEntry();
}

void TSetupForm2::SelectConnectionEntry()
{
    m_connections->setCurrentIndex(
        m_connections->findText(m_selectedConnection, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void TSetupForm2::ConnectionPicked(int index)
{
    if (index < 0)
        return;
    m_selectedConnection = m_connections->itemText(index);
    m_userName->clear();
    m_password->clear();
}

ProfileSettings TSetupForm2::Settings() const
{
    ProfileSettings s = TSetupForm::Settings();
    s.RASOpenBefore = m_openBefore->isChecked();
    s.RASUseAnotherConnection = m_useOpen->isChecked();
    s.RASConnection = m_selectedConnection;
    s.RASCloseConnectionAfter = m_closeAfter->isChecked();
    s.RASUserName = m_userName->text();
    s.RASPassword = m_password->text();
    s.SaveRasPassword = m_savePassword->isChecked();
    return s;
}
