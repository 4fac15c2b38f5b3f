#include "cli/CoreParts.h"

#include "app/QuorvelApp.h"
#include "article/UploadPoster.h"
#include "dialup/DialupTasks.h"
#include "tasks/UploadTaskBuilder.h"

TCoreParts::TCoreParts(TQuorvelApp& app, TView& view)
    : m_poster(std::make_unique<TUploadPoster>(app.Article(), app.Nntp(), app.TaskList(),
                                               app.Runner(), view, app.Logger(), app.State())),
      m_builder(std::make_unique<TUploadTaskBuilder>(app.State(), view, app.TaskList(),
                                                     app.Runner(), app.GroupOperations(), *m_poster,
                                                     app.Logger()))
{
    m_builder->SetHooks({
        .CheckAuth = [&app] { return app.CheckAuth(); },
        .CheckRas = [&app] { app.Dialup().CheckRas(); },
    });
}

TCoreParts::~TCoreParts() = default;
