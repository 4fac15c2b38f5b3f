#include "ui/RecoveryBox.h"

#include "base/SettingFields.h"

#include <QFormLayout>
#include <QSpinBox>

namespace {

// A box for the setting's values, its lowest one named by none.
QSpinBox* SettingSpin(const char* setting, const QString& none, const QString& suffix,
                      QWidget* parent)
{
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(setting));
    const TSettingField::TRange range = FindSettingField(QLatin1String(setting))->Bounds();
    spin->setRange(int(range.Lowest), int(range.Highest));
    spin->setSpecialValueText(none);
    spin->setSuffix(suffix);
    return spin;
}

} // namespace

TRecoveryBox::TRecoveryBox(QWidget* parent)
    : QGroupBox(QStringLiteral("Recovery files (PAR2)"), parent)
{
    setObjectName(QStringLiteral("RecoveryBox"));
    m_percent = SettingSpin("Par2Percent", QStringLiteral("none"), QStringLiteral(" %"), this);
    m_percent->setToolTip(QStringLiteral("Made while each file is posted and posted after it; "
                                         "10 % mends a file that lost a few articles"));
    m_files = SettingSpin("Par2Files", QStringLiteral("as par2 chooses"), QString(), this);
    m_fileMB = SettingSpin("Par2FileMB", QStringLiteral("no limit"), QStringLiteral(" MB"), this);
    m_fileMB->setToolTip(QStringLiteral("When set, it decides the number of files"));
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Recovery data per file:"), m_percent);
    form->addRow(QStringLiteral("Number of recovery files:"), m_files);
    form->addRow(QStringLiteral("Largest recovery file:"), m_fileMB);
    const auto enable = [this](int percent) {
        m_files->setEnabled(percent > 0);
        m_fileMB->setEnabled(percent > 0);
    };
    connect(m_percent, &QSpinBox::valueChanged, this, enable);
    enable(0);
}

void TRecoveryBox::Fill(const ProfileSettings& s)
{
    m_percent->setValue(s.Par2Percent);
    m_files->setValue(s.Par2Files);
    m_fileMB->setValue(s.Par2FileMB);
}

void TRecoveryBox::Apply(ProfileSettings& s) const
{
    s.Par2Percent = qint16(m_percent->value());
    s.Par2Files = qint16(m_files->value());
    s.Par2FileMB = qint16(m_fileMB->value());
}
