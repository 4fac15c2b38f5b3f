#pragma once

#include "ui/SetupForm.h"

#include <functional>

class QComboBox;

// The setup dialog with a fourth page, "Dial-up", offered when NetworkManager is there.
// The entries of the connection list come from listEntries, asked each time the list fills;
// it answers through its callback, now or later.
class TSetupForm2 : public TSetupForm
{
    Q_OBJECT
public:
    using TEntriesDone = std::function<void(const QStringList& names)>;
    using TEntryLister = std::function<void(TEntriesDone done)>;

    TSetupForm2(const ProfileSettings& settings, TEntryLister listEntries,
                QWidget* parent = nullptr);

    ProfileSettings Settings() const override;
    QString SelectedConnection() const { return m_selectedConnection; }

private:
    QWidget* BuildDialupPage();
    void ApplyDialupRule(bool openBefore);
    void SelectConnectionEntry();
    void EntriesListed(const QStringList& names);
    void ConnectionPicked(int index);

    TEntryLister m_listEntries;
    QString m_selectedConnection;
    bool m_listing = false;

    QCheckBox* m_openBefore;
    QCheckBox* m_useOpen;
    QComboBox* m_connections;
    QCheckBox* m_closeAfter;
    QLineEdit* m_userName;
    QLineEdit* m_password;
    QCheckBox* m_savePassword;
};
