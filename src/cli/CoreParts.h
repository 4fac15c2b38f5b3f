#pragma once

#include <memory>

class TQuorvelApp;
class TUploadPoster;
class TUploadTaskBuilder;
class TView;

// Upload building and posting, wired to the application object's news client, task list,
// runner, group pane operations, login check and dial-up the way the window wires them,
// until the application object owns them itself.
class TCoreParts
{
public:
    TCoreParts(TQuorvelApp& app, TView& view);
    ~TCoreParts();

    TUploadTaskBuilder& UploadBuilder() { return *m_builder; }

private:
    std::unique_ptr<TUploadPoster> m_poster;
    std::unique_ptr<TUploadTaskBuilder> m_builder;
};
