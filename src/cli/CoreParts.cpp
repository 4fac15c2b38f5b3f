#include "cli/CoreParts.h"

#include "app/Clock.h"
#include "app/QuorvelApp.h"
#include "app/View.h"
#include "article/UploadPoster.h"
#include "groups/GroupDownload.h"
#include "groups/GroupListOperations.h"
#include "groups/NewsrcStore.h"
#include "tasks/TaskRunner.h"
#include "tasks/UploadTaskBuilder.h"

TCoreParts::TCoreParts(TQuorvelApp& app, TView& view, TSettingsStore& store)
    : m_app(app), m_view(view),
      m_newsrc(std::make_unique<TNewsrcStore>(app.State(), app.Logger(), view)),
      m_groupOperations(std::make_unique<TGroupListOperations>(*m_newsrc)),
      m_groupDownload(std::make_unique<TGroupDownload>(*m_newsrc, app.TaskList(), app.Runner(),
                                                       app.Nntp(), store, TClock::System())),
      m_poster(std::make_unique<TUploadPoster>(app.Article(), app.Nntp(), app.TaskList(),
                                               app.Runner(), view, app.Logger(), app.State())),
      m_builder(std::make_unique<TUploadTaskBuilder>(app.State(), view, app.TaskList(),
                                                     app.Runner(), *m_groupOperations, *m_poster,
                                                     app.Logger()))
{
    TTaskRunner& runner = app.Runner();
    runner.SetHandler(tkGroupDownload, [this](TTask& task) { m_groupDownload->DoList(task); });
    runner.SetHandler(tkNewGroups, [this](TTask& task) { m_groupDownload->DoNew(task); });
    m_groupDownload->SetHooks({.CheckAuth = [this] { return checkAuth(); }, .CheckRas = {}});
    m_builder->SetHooks({.CheckAuth = [this] { return checkAuth(); }, .CheckRas = {}});
}

TCoreParts::~TCoreParts() = default;

void TCoreParts::LoadGroups()
{
    m_newsrc->CreateNewsrcIfMissing();
    m_newsrc->ReadNewsrc();
    m_newsrc->ShowGroups();
}

bool TCoreParts::checkAuth()
{
    // The news server login, asked once when the server wants one and no password is known.
    ProfileSettings& s = m_app.State().Settings;
    if (!s.LoginRequired || !s.Password.isEmpty())
        return true;
    const std::optional<TLoginAnswer> answer =
        m_view.AskLogin(QStringLiteral("News server login"), s.UserID, s.Password);
    if (!answer)
        return false;
    s.UserID = answer->UserName;
    s.Password = answer->Password;
    return true;
}
