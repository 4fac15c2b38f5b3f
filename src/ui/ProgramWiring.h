#pragma once

class TMainForm;
class TQuorvelApp;

// Connects the main window to the application object: the group pane's rows, the dial-up
// entries of the setup dialog, and every command to its operation, one line each.
class TProgramWiring
{
public:
    TProgramWiring(TMainForm& form, TQuorvelApp& logic);
    ~TProgramWiring();

private:
    void WireApp();
    void WireTasks();
    void WireGroups();

    TMainForm& m_form;
    TQuorvelApp& m_logic;
};
