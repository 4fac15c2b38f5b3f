#pragma once

#include "base/ProfileSettings.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QSpinBox;

// The setup dialog's page on how a batch of uploads is accounted for: the domain of the
// Message-IDs, where the NZB files go, the check after posting, the retries of failures
// that may pass, the connections to post over and the speed limit.
class TDeliveryPage : public QWidget
{
    Q_OBJECT
public:
    explicit TDeliveryPage(QWidget* parent = nullptr);

    void Fill(const ProfileSettings& s);
    // The page's values into s.
    void Apply(ProfileSettings& s) const;

private:
    void browseNzbFolder();

    QLineEdit* m_domain;
    QLineEdit* m_nzbFolder;
    QCheckBox* m_check;
    QSpinBox* m_checkDelay;
    QSpinBox* m_checkRounds;
    QSpinBox* m_retries;
    QSpinBox* m_connections;
    QSpinBox* m_speedLimit;
};
