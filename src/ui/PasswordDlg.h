#pragma once

#include "base/View.h"

#include <QDialog>

class QLineEdit;

// Asks for a user ID and a password: the news server's login and the dial-up login.
class TPasswordDlg : public QDialog
{
    Q_OBJECT
public:
    explicit TPasswordDlg(QWidget* parent = nullptr);

    void SetValues(const QString& user, const QString& password);
    TLoginAnswer Values() const;

    // Shows the dialog modally with the given caption; nullopt unless closed with OK.
    static std::optional<TLoginAnswer> Ask(QWidget* parent, const QString& caption,
                                           const QString& user, const QString& password);

private:
    QLineEdit* m_userID;
    QLineEdit* m_password;
};
