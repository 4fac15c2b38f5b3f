#pragma once

#include "base/ProfileSettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class TRecoveryBox;
class TDeliveryPage;
class TServerListBox;

// "Quorvel Setup" with the pages User, System, Articles and Delivery: edits a copy of one profile's
// settings. Settings() hands the edited copy back; the caller decides whether to keep it.
class TSetupForm : public QDialog
{
    Q_OBJECT
public:
    explicit TSetupForm(const ProfileSettings& settings, QWidget* parent = nullptr);

    // The settings as the controls show them; numbers that are not valid take the form's
    // fall-backs.
    virtual ProfileSettings Settings() const;

signals:
    void HelpRequested(int topic);

protected:
    struct TFallbacks
    {
        qint16 Timeout;
        qint16 PostTimeout;
        qint32 MaxLines;
    };
    TSetupForm(const ProfileSettings& settings, const TFallbacks& fallbacks,
               const QString& maxLinesLabel, QWidget* parent);

    QTabWidget* Pages() const { return m_pages; }
    const ProfileSettings& Original() const { return m_original; }

private:
    QWidget* BuildUserPage();
    QWidget* BuildSystemPage();
    QWidget* BuildArticlesPage(const QString& maxLinesLabel);
    void Fill(const ProfileSettings& s);
    void ApplyLoginRule(bool loginRequired);
    void SigfileBrowseClick();

    ProfileSettings m_original;
    TFallbacks m_fallbacks;
    QTabWidget* m_pages;

    QLineEdit* m_emailAddress;
    QLineEdit* m_replyTo;
    QLineEdit* m_organization;
    QLineEdit* m_fullName;
    QCheckBox* m_loginCheckBox;
    QLineEdit* m_userID;
    QCheckBox* m_rememberPassword;
    QLineEdit* m_password;

    QLineEdit* m_server;
    QComboBox* m_security;
    QLineEdit* m_authorities;
    QLineEdit* m_fingerprint;
    QLabel* m_clearTextWarning;
    QLineEdit* m_connectTimeout;
    QCheckBox* m_disconnect;
    QLineEdit* m_postTimeout;

    QLineEdit* m_maxLines;
    QLineEdit* m_template;
    QComboBox* m_encoding;
    QComboBox* m_textCharset;
    QCheckBox* m_includeText;
    QLineEdit* m_sigFile;
    QCheckBox* m_crosspost;
    TRecoveryBox* m_recovery;
    TDeliveryPage* m_delivery;
    TServerListBox* m_serverList;
};
