#include "cli/GroupSelection.h"

#include "article/GroupName.h"
#include "groups/NewsrcStore.h"

TGroupSelection::TGroupSelection(TNewsrcStore& store) : m_store(store) {}

TGroupSelection::TPlace TGroupSelection::Locate(const QString& name) const
{
    TPlace loose;
    for (int list = 0; list < 3; ++list) {
        const TGroupList& groups = m_store.List(list);
        for (size_t row = 0; row < groups.size(); ++row) {
            // Names are kept as the server's bytes; a person types them as shown.
            const QString& stored = groups[row].Name;
            const QString shown = GroupName::Shown(stored);
            if (shown == name)
                return {stored, list, int(row)};
            if (loose.List < 0 && shown.compare(name, Qt::CaseInsensitive) == 0)
                loose = {stored, list, int(row)};
        }
    }
    if (loose.List < 0)
        loose.Name = GroupName::FromTyped(name);
    return loose;
}

QString TGroupSelection::Name(int list, int row) const
{
    const TGroupList& groups = m_store.List(list);
    return row >= 0 && size_t(row) < groups.size() ? groups[size_t(row)].Name : QString();
}

QString TGroupSelection::ListName(int list)
{
    switch (list) {
    case 0:
        return QStringLiteral("subscribed");
    case 1:
        return QStringLiteral("unsubscribed");
    case 2:
        return QStringLiteral("new");
    default:
        return QStringLiteral("none");
    }
}
