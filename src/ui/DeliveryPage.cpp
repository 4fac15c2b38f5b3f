#include "ui/DeliveryPage.h"

#include "base/SettingFields.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// A box for the number setting of that name, taking the values the setting takes.
QSpinBox* NumberBox(const char* name, QWidget* parent)
{
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    const TSettingField::TRange range = FindSettingField(QLatin1String(name))->Bounds();
    box->setRange(int(range.Lowest), int(range.Highest));
    box->setMaximumWidth(90);
    return box;
}

} // namespace

TDeliveryPage::TDeliveryPage(QWidget* parent) : QWidget(parent)
{
    m_domain = new QLineEdit(this);
    m_domain->setObjectName(QStringLiteral("MessageIdDomain"));
    m_domain->setToolTip(QStringLiteral("The part after the @ of every Message-ID; one that "
                                        "names no machine of yours keeps it private"));
    m_nzbFolder = new QLineEdit(this);
    m_nzbFolder->setObjectName(QStringLiteral("NzbFolder"));
    m_nzbFolder->setPlaceholderText(QStringLiteral("nzb in the data folder"));
    auto* browse = new QPushButton(QStringLiteral("Browse"), this);
    browse->setObjectName(QStringLiteral("NzbFolderBrowse"));
    connect(browse, &QPushButton::clicked, this, &TDeliveryPage::browseNzbFolder);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_nzbFolder, 1);
    folderRow->addWidget(browse);
    m_check = new QCheckBox(QStringLiteral("Check that the server has every article"), this);
    m_check->setObjectName(QStringLiteral("CheckAfterPost"));
    m_checkDelay = NumberBox("CheckDelay", this);
    m_checkRounds = NumberBox("CheckRounds", this);
    m_retries = NumberBox("PostRetries", this);
    m_retries->setToolTip(QStringLiteral("After a dropped connection, a time-out or a busy "
                                         "server; 0 stops and saves the tasks at once"));
    m_connections = NumberBox("Connections", this);
    m_connections->setToolTip(QStringLiteral("The parts of a series go over this many "
                                             "connections at once"));
    m_speedLimit = NumberBox("SpeedLimit", this);
    m_speedLimit->setToolTip(QStringLiteral("Kilobytes per second over all connections "
                                            "together"));

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    form->addRow(QStringLiteral("Message-ID domain:"), m_domain);
    form->addRow(QStringLiteral("NZB folder:"), folderRow);
    form->addRow(m_check);
    form->addRow(QStringLiteral("Seconds before checking:"), m_checkDelay);
    form->addRow(QStringLiteral("Rounds of checking:"), m_checkRounds);
    form->addRow(QStringLiteral("Retries after a failure:"), m_retries);
    form->addRow(QStringLiteral("Connections:"), m_connections);
    form->addRow(QStringLiteral("Speed limit (KB/s, 0 for none):"), m_speedLimit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    connect(m_check, &QCheckBox::toggled, this, [this](bool on) {
        m_checkDelay->setEnabled(on);
        m_checkRounds->setEnabled(on);
    });
}

void TDeliveryPage::Fill(const ProfileSettings& s)
{
    m_domain->setText(s.MessageIdDomain);
    m_nzbFolder->setText(s.NzbFolder);
    m_check->setChecked(s.CheckAfterPost);
    m_checkDelay->setValue(s.CheckDelay);
    m_checkRounds->setValue(s.CheckRounds);
    m_retries->setValue(s.PostRetries);
    m_connections->setValue(s.Connections);
    m_speedLimit->setValue(s.SpeedLimit);
    m_checkDelay->setEnabled(s.CheckAfterPost);
    m_checkRounds->setEnabled(s.CheckAfterPost);
}

void TDeliveryPage::Apply(ProfileSettings& s) const
{
    s.MessageIdDomain = m_domain->text().trimmed();
    s.NzbFolder = m_nzbFolder->text().trimmed();
    s.CheckAfterPost = m_check->isChecked();
    s.CheckDelay = qint16(m_checkDelay->value());
    s.CheckRounds = qint16(m_checkRounds->value());
    s.PostRetries = qint16(m_retries->value());
    s.Connections = qint16(m_connections->value());
    s.SpeedLimit = m_speedLimit->value();
}

void TDeliveryPage::browseNzbFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Folder for NZB files"), m_nzbFolder->text());
    if (!folder.isEmpty())
        m_nzbFolder->setText(folder);
}
