#pragma once

#include <QList>
#include <QMetaObject>

class TMainForm;
class TQuorvelApp;

// Connects the main window to the application object: the group pane's rows, the dial-up
// entries of the setup dialog, and every command (a signal of the window) to its operation,
// one line each. The connections end with the wiring.
class TProgramWiring
{
public:
    TProgramWiring(TMainForm& form, TQuorvelApp& logic);
    ~TProgramWiring();

private:
    void WireApp();
    void WireTasks();
    void WireGroups();
    template <typename Signal, typename Operation> void Wire(Signal signal, Operation operation);

    TMainForm& m_form;
    TQuorvelApp& m_logic;
    QList<QMetaObject::Connection> m_connections;
};
