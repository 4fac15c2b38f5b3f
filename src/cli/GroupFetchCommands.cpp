#include "cli/GroupFetchCommands.h"

#include "article/GroupName.h"
#include "cli/CliRequest.h"
#include "cli/ExitStatus.h"
#include "cli/Terminal.h"
#include "cli/TerminalView.h"
#include "groups/GroupDownload.h"
#include "groups/NewsrcStore.h"

TGroupFetchCommands::TGroupFetchCommands(TGroupDownload& download, TNewsrcStore& store,
                                         TTerminalView& view, const TTerminal& terminal)
    : m_download(download), m_store(store), m_view(view), m_terminal(terminal)
{
}

int TGroupFetchCommands::fail(const QString& text)
{
    m_view.Note(QStringLiteral("quorvel-cli: ") + text);
    return ExitFailed;
}

int TGroupFetchCommands::Queue(const TCliRequest& request)
{
    if (request.Command == QLatin1String("groups download")) {
        m_download.QueueDownload();
    } else {
        // The window offers "New since" only once a full download has recorded its time.
        if (!m_download.NewSinceKnown())
            return fail(QStringLiteral("no complete group list yet: run 'groups download' "
                                       "first"));
        m_download.QueueNewGroups();
    }
    if (m_view.TaskCount() == 0)
        return fail(QStringLiteral("nothing queued"));
    return ExitOk;
}

void TGroupFetchCommands::PrintNewGroups() const
{
    QString text;
    for (const TGroupIndex& g : m_store.NewList)
        text += GroupName::Shown(g.Name) + u'\n';
    m_terminal.Out(text);
}
