#pragma once

#include "base/ServerList.h"

#include <QGroupBox>

#include <functional>

class QPushButton;
class QTreeWidget;
class TServerTestButton;
struct ProfileSettings;

// Setup's list of a profile's servers: its own server (edited by the fields above the list
// and the User page's login) first, then the further ones; Add, Edit, Remove, Up, Down and
// Test. The form hands over its fields' values before each change (Controls) and takes back
// those of the server that is first afterwards (Refill).
class TServerListBox : public QGroupBox
{
    Q_OBJECT
public:
    using TControls = std::function<ProfileSettings()>;
    using TRefill = std::function<void(const ProfileSettings&)>;

    TServerListBox(TControls controls, TRefill refill, QWidget* parent = nullptr);

    // Shows the profile's servers.
    void Fill(const ProfileSettings& settings);
    // The servers as shown, the first taking the values of the form's fields (in
    // fromControls), stored into fromControls.
    void ApplyTo(ProfileSettings& fromControls) const;

private:
    TServerList merged(const ProfileSettings& fromControls) const;
    void change(const std::function<QString(TServerList&, int)>& operation);
    void show(int selected);
    int selectedRow() const;
    void addClick();
    void editClick();
    void updateButtons();

    TControls m_controls;
    TRefill m_refill;
    TServerList m_list;
    QTreeWidget* m_view;
    QPushButton* m_edit;
    QPushButton* m_remove;
    QPushButton* m_up;
    QPushButton* m_down;
    TServerTestButton* m_test;
};
