#include "ui/PasswordDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TPasswordDlg::TPasswordDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PasswordDlg"));
    setWindowTitle(QStringLiteral("Login Information"));
    // A question that must be answered: OK or Cancel, no title-bar buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    m_userID = new QLineEdit(this);
    m_userID->setObjectName(QStringLiteral("UserID"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("Password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_userID->setMinimumWidth(220);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Enter user ID:"), m_userID);
    form->addRow(QStringLiteral("Enter password:"), m_password);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKBtn"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelBtn"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_userID->setFocus();
}

void TPasswordDlg::SetValues(const QString& user, const QString& password)
{
    m_userID->setText(user);
    m_password->setText(password);
}

TLoginAnswer TPasswordDlg::Values() const
{
    return {m_userID->text(), m_password->text()};
}

std::optional<TLoginAnswer> TPasswordDlg::Ask(QWidget* parent, const QString& caption,
                                              const QString& user, const QString& password)
{
    TPasswordDlg dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.SetValues(user, password);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Values();
}
