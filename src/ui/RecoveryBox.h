#pragma once

#include "base/ProfileSettings.h"

#include <QGroupBox>

class QSpinBox;

// The setup dialog's "Recovery files (PAR2)" box: how much recovery data each posted file
// gets, and in how many files or files of what size at most.
class TRecoveryBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit TRecoveryBox(QWidget* parent = nullptr);

    void Fill(const ProfileSettings& s);
    void Apply(ProfileSettings& s) const;

private:
    QSpinBox* m_percent;
    QSpinBox* m_files;
    QSpinBox* m_fileMB;
};
