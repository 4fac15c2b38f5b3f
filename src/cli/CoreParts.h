#pragma once

#include <memory>

class TGroupDownload;
class TGroupListOperations;
class TNewsrcStore;
class TQuorvelApp;
class TSettingsStore;
class TUploadPoster;
class TUploadTaskBuilder;
class TView;

// The group store, group commands and upload building, wired to the application object's
// news client, task list and runner the way the window wires them, until the application
// object owns them itself.
class TCoreParts
{
public:
    TCoreParts(TQuorvelApp& app, TView& view, TSettingsStore& store);
    ~TCoreParts();

    // Reads the current profile's groups, as start-up and a change of profile do.
    void LoadGroups();

    TNewsrcStore& Newsrc() { return *m_newsrc; }
    TGroupListOperations& GroupOperations() { return *m_groupOperations; }
    TGroupDownload& GroupDownload() { return *m_groupDownload; }
    TUploadTaskBuilder& UploadBuilder() { return *m_builder; }

private:
    bool checkAuth();

    TQuorvelApp& m_app;
    TView& m_view;
    std::unique_ptr<TNewsrcStore> m_newsrc;
    std::unique_ptr<TGroupListOperations> m_groupOperations;
    std::unique_ptr<TGroupDownload> m_groupDownload;
    std::unique_ptr<TUploadPoster> m_poster;
    std::unique_ptr<TUploadTaskBuilder> m_builder;
};
