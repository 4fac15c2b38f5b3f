#pragma once

#include <memory>

class TClock;
class TGroupDownload;
class TGroupListModel;
class TGroupListOperations;
class TMainForm;
class TNewsrcStore;
class TQuorvelApp;
class TSettingsStore;

// Connects the main window's commands to the program's operations, one line each, and owns
// the parts the window needs that the application object does not hold yet: the profile's
// group store with the group pane's rows, the group operations and the group download.
class TProgramWiring
{
public:
    TProgramWiring(TMainForm& form, TQuorvelApp& logic, TSettingsStore& store, const TClock& clock);
    ~TProgramWiring();

    // Reads the profile's groups and shows them (start-up, after the settings are read).
    void LoadGroups();
    TNewsrcStore& Groups() { return *m_newsrc; }

private:
    void WireApp();
    void WireTasks();
    void WireGroups();
    void WireDownload();

    TMainForm& m_form;
    TQuorvelApp& m_logic;
    std::unique_ptr<TNewsrcStore> m_newsrc;
    std::unique_ptr<TGroupListModel> m_groupRows;
    std::unique_ptr<TGroupListOperations> m_groups;
    std::unique_ptr<TGroupDownload> m_download;
};
