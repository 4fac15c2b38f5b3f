#include "cli/GroupCommands.h"

#include "article/GroupName.h"
#include "cli/CliRequest.h"
#include "cli/ExitStatus.h"
#include "cli/GroupSelection.h"
#include "cli/Terminal.h"
#include "cli/TerminalView.h"
#include "groups/GroupListOperations.h"
#include "groups/NewsrcStore.h"

#include <QFileInfo>
#include <QMap>

#include <algorithm>

TGroupCommands::TGroupCommands(TParts parts, TTerminalView& view, const TTerminal& terminal)
    : m_parts(parts), m_view(view), m_terminal(terminal)
{
}

int TGroupCommands::fail(const QString& text)
{
    m_view.Note(QStringLiteral("quorvel-cli: ") + text);
    return ExitFailed;
}

int TGroupCommands::Run(const TCliRequest& request)
{
    const QString sub = request.Command.section(u' ', 1);
    if (sub == QLatin1String("list"))
        return list(request);
    if (sub == QLatin1String("subscribe"))
        return move(request.Arguments, true);
    if (sub == QLatin1String("unsubscribe"))
        return move(request.Arguments, false);
    if (sub == QLatin1String("import"))
        return import(request.Arguments.value(0));
    return fail(QStringLiteral("unknown groups command '%1'").arg(sub));
}

int TGroupCommands::list(const TCliRequest& request)
{
    QList<int> lists;
    if (request.Has(QStringLiteral("subscribed")))
        lists << TNewsrcStore::ViewSubscribed;
    if (request.Has(QStringLiteral("unsubscribed")))
        lists << TNewsrcStore::ViewUnsubscribed;
    if (request.Has(QStringLiteral("new")))
        lists << TNewsrcStore::ViewNew;
    if (lists.isEmpty())
        lists = {TNewsrcStore::ViewSubscribed, TNewsrcStore::ViewUnsubscribed,
                 TNewsrcStore::ViewNew};
    QString text;
    for (int l : lists)
        for (const TGroupIndex& g : m_parts.Store.List(l))
            text += QStringLiteral("%1\t%2\t%3\n")
                        .arg(GroupName::Shown(g.Name), TGroupSelection::ListName(l),
                             QString::number(g.Count));
    m_terminal.Out(text);
    return ExitOk;
}

int TGroupCommands::move(const QStringList& names, bool subscribe)
{
    // Every name is checked before anything moves, so a typo changes nothing. Groups move
    // list by list, in the order the command line first names each list.
    QList<int> order;
    QMap<int, QList<int>> rowsByList;
    for (const QString& name : names) {
        const TGroupSelection::TPlace place = m_parts.Selection.Locate(name);
        if (place.List < 0)
            return fail(QStringLiteral("'%1' is not in the profile's group list").arg(name));
        const bool there = (place.List == TNewsrcStore::ViewSubscribed) == subscribe;
        if (there) {
            m_view.Note(
                QStringLiteral("%1 is %2 already")
                    .arg(GroupName::Shown(place.Name), TGroupSelection::ListName(place.List)));
            continue;
        }
        if (!order.contains(place.List))
            order << place.List;
        if (!rowsByList[place.List].contains(place.Row))
            rowsByList[place.List] << place.Row;
    }
    bool moved = true;
    for (int list : order) {
        QList<int> rows = rowsByList.value(list);
        std::sort(rows.begin(), rows.end());
        // The store tells the user itself when the newsrc file cannot be written.
        moved = m_parts.Operations.MoveGroups(list, rows) && moved;
    }
    return moved ? int(ExitOk) : int(ExitFailed);
}

int TGroupCommands::import(const QString& file)
{
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable())
        return fail(QStringLiteral("%1: cannot read the file").arg(file));
    const bool imported = m_parts.Operations.ImportGroups(info.absoluteFilePath());
    return imported && !m_view.QuestionRefused() ? int(ExitOk) : int(ExitFailed);
}
