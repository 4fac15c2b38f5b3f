#include "ui/FindGroupForm.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TFindGroupForm::TFindGroupForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FindGroupForm"));
    setWindowTitle(QStringLiteral("Find Group"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    m_findText = new QLineEdit(this);
    m_findText->setObjectName(QStringLiteral("FindText"));
    m_findText->setMinimumWidth(260);

    auto* box = new QGroupBox(this);
    box->setObjectName(QStringLiteral("RadioGroup"));
    auto* first = new QRadioButton(QStringLiteral("First"), box);
    auto* all = new QRadioButton(QStringLiteral("All"), box);
    m_radioGroup = new QButtonGroup(this);
    m_radioGroup->addButton(first, 0);
    m_radioGroup->addButton(all, 1);
    first->setChecked(true);
    auto* radios = new QHBoxLayout(box);
    radios->addWidget(first);
    radios->addWidget(all);
    connect(m_radioGroup, &QButtonGroup::idClicked, this, &TFindGroupForm::RadioGroupClick);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("FindOkButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("FindCancelButton"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Find a group whose name contains:"), this));
    layout->addWidget(m_findText);
    layout->addWidget(box);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_findText->setFocus();
}

QString TFindGroupForm::FindText() const
{
    return m_findText->text();
}

void TFindGroupForm::SetFindText(const QString& text)
{
    m_findText->setText(text);
    m_findText->selectAll();
    m_findText->setFocus();
}

void TFindGroupForm::SetMode(TFindMode mode)
{
    m_radioGroup->button(mode == TFindMode::All ? 1 : 0)->setChecked(true);
    m_mode = mode;
}

void TFindGroupForm::RadioGroupClick()
{
    m_mode = m_radioGroup->checkedId() == 1 ? TFindMode::All : TFindMode::First;
}
