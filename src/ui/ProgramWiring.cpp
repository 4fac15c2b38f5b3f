#include "ui/ProgramWiring.h"

#include "app/Profiles.h"
#include "app/QuorvelApp.h"
#include "dialup/DialupTasks.h"
#include "dialup/RasConnection.h"
#include "groups/GroupDownload.h"
#include "groups/GroupListModel.h"
#include "groups/GroupListOperations.h"
#include "groups/NewsrcStore.h"
#include "tasks/TaskMenu.h"
#include "tasks/TaskRunner.h"
#include "ui/CheckAuth.h"
#include "ui/MainForm.h"

#include <QFileInfo>

TProgramWiring::TProgramWiring(TMainForm& form, TQuorvelApp& logic, TSettingsStore& store,
                               const TClock& clock)
    : m_form(form), m_logic(logic),
      m_newsrc(std::make_unique<TNewsrcStore>(logic.State(), logic.Logger(), form)),
      m_groupRows(std::make_unique<TGroupListModel>(*m_newsrc)),
      m_groups(std::make_unique<TGroupListOperations>(*m_newsrc)),
      m_download(std::make_unique<TGroupDownload>(*m_newsrc, logic.TaskList(), logic.Runner(),
                                                  logic.Nntp(), store, clock))
{
    form.AttachState(logic.State());
    form.AttachSessionLog(logic.SessionLog());
    form.SetGroupModel(m_groupRows.get());
    WireApp();
    WireTasks();
    WireGroups();
    WireDownload();
}

TProgramWiring::~TProgramWiring()
{
    m_form.SetGroupModel(nullptr);
    m_form.Handlers = {};
}

void TProgramWiring::LoadGroups()
{
    m_newsrc->ReadNewsrc();
    m_newsrc->ShowGroups();
}

void TProgramWiring::WireApp()
{
    TQuorvelApp& logic = m_logic;
    TMainHandlers& h = m_form.Handlers;
    h.ExitButtonClick = [&logic] { logic.ExitButtonClick(); };
    h.FormCloseQuery = [&logic] { logic.FormCloseQuery(); };
    h.ProfilesComboBoxChange = [&logic](const QString& name) {
        logic.ProfilesComboBoxChange(name);
    };
    h.NewProfileClick = [&logic] { logic.NewProfileClick(); };
    h.DeleteProfileClick = [&logic] { logic.DeleteProfileClick(); };

    // Each profile has its own groups: read and shown whenever a profile is loaded.
    TNewsrcStore& newsrc = *m_newsrc;
    logic.Profiles().SetHooks({
        .CreateNewsrcIfMissing =
            [&newsrc] {
                if (!QFileInfo::exists(newsrc.NewsrcPath()))
                    newsrc.CreateNewsrc();
            },
        .ProfileLoaded =
            [&newsrc, &logic] {
                newsrc.ReadNewsrc();
                newsrc.ShowGroups();
                logic.SetCaption();
            },
    });

    // With NetworkManager on the bus the setup dialog gets its Dial-up page, listing the
    // connection profiles.
    TRasConnection& dialup = logic.Ras();
    m_form.SetDialup(dialup.Available(),
                     [&dialup](const TSetupForm2::TEntriesDone& done) { dialup.GetEntries(done); });
}

void TProgramWiring::WireTasks()
{
    TMainHandlers& h = m_form.Handlers;
    TTaskRunner& runner = m_logic.Runner();
    h.AbortButtonClick = [&runner] { runner.AbortButtonClick(); };
    h.DisconnectButtonClick = [&runner] { runner.DisconnectButtonClick(); };
    h.TasksStartClick = [&runner] { runner.TasksStartClick(); };
    h.TasksAutoStartClick = [&runner] { runner.TasksAutoStartClick(); };
    TTaskMenu& tasks = m_logic.TaskMenu();
    h.TaskMenuClick = [&tasks] { tasks.TaskMenuClick(); };
    h.TasksClearClick = [&tasks] { tasks.TasksClearClick(); };
    h.TasksReloadClick = [&tasks] { tasks.TasksReloadClick(); };
    h.TasksViewClick = [&tasks] { tasks.TasksViewClick(); };
}

void TProgramWiring::WireGroups()
{
    TMainHandlers& h = m_form.Handlers;
    TGroupListOperations& groups = *m_groups;
    TMainForm& form = m_form;
    h.GroupFindClick = [&groups] { groups.GroupFindClick(); };
    h.FindAgainClick = [&groups] { groups.FindAgainClick(); };
    h.GroupsSubscribeItemClick = [&groups] { groups.GroupsSubscribeItemClick(); };
    h.GroupsImportClick = [&groups] { groups.GroupsImportClick(); };
    h.GroupListColumnClick = [&groups](int column) { groups.GroupListColumnClick(column); };
    h.PopupMenu1Popup = [&form, &groups] { form.ApplyShortcutMenu(groups.PopupMenu1Popup()); };
    h.Sort1Click = [&groups] { groups.Sort1Click(); };
    h.Subscribed1Click = [&groups] { groups.Subscribed1Click(); };
    h.Unsubscribed1Click = [&groups] { groups.Unsubscribed1Click(); };
    h.New1Click = [&groups] { groups.New1Click(); };
}

void TProgramWiring::WireDownload()
{
    TQuorvelApp& logic = m_logic;
    TMainForm& form = m_form;
    TGroupDownload& download = *m_download;
    download.SetHooks({
        .CheckAuth = [&form, &logic] { return CheckAuth(logic.State(), form); },
        .CheckRas = [&logic] { logic.Dialup().CheckRas(); },
    });
    logic.Runner().SetHandler(tkGroupDownload, [&download](TTask& task) { download.DoList(task); });
    logic.Runner().SetHandler(tkNewGroups, [&download](TTask& task) { download.DoNew(task); });
    TMainHandlers& h = m_form.Handlers;
    h.GroupsMenuClick = [&form, &download] { form.ApplyGroupsMenu(download.GroupsMenuClick()); };
    h.GroupsDownloadItemClick = [&download] { download.GroupsDownloadItemClick(); };
    h.GroupsNewItemClick = [&download] { download.GroupsNewItemClick(); };
}
