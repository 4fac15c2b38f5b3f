#include "groups/GroupListOperations.h"

#include "base/WindowView.h"
#include "article/GroupName.h"
#include "base/AppState.h"
#include "base/Logger.h"
#include "groups/GroupSorter.h"
#include "groups/NewsrcFile.h"
#include "groups/NewsrcStore.h"
#include "base/ProgressStepper.h"

#include <QDir>
#include <QFile>
#include <QSet>

TGroupListOperations::TGroupListOperations(TNewsrcStore& store) : m_store(store) {}

void TGroupListOperations::showList(int view)
{
    m_store.GroupView = view;
    m_store.ShowGroups();
}

TShortcutMenuState TGroupListOperations::PopupMenu1Popup() const
{
    const int view = m_store.GroupView;
    return {view != TNewsrcStore::ViewSubscribed, view != TNewsrcStore::ViewUnsubscribed,
            view != TNewsrcStore::ViewNew};
}

void TGroupListOperations::GroupListColumnClick(int column)
{
    TView& view = m_store.View();
    // The direction flips before sorting, and only the shown list is reordered: every
    // entry keeps its record number, so the file stays as it is.
    if (column == 0)
        NameSortDescending = !NameSortDescending;
    else
        CountSortDescending = !CountSortDescending;
    m_store.State().Commands.SetBusy(true);
    view.SetStatusText(QStringLiteral("Sorting"));
    if (column == 0)
        TGroupSorter::SortByName(m_store.ShownList(), NameSortDescending);
    else
        TGroupSorter::SortByCount(m_store.ShownList(), CountSortDescending);
    m_store.ShowGroups();
    view.SetStatusText(QStringLiteral("Finished"));
    m_store.State().Commands.SetBusy(false);
}

void TGroupListOperations::Sort1Click()
{
    TView& view = m_store.View();
    if (!view.AskYesNo(QStringLiteral("This could take a while. Continue?")))
        return;
    m_store.State().Commands.SetBusy(true);
    view.SetStatusText(QStringLiteral("Sorting Subscribed groups"));
    TGroupSorter::SortByName(m_store.SubList, NameSortDescending);
    view.SetStatusText(QStringLiteral("Sorting Unsubscribed groups"));
    TGroupSorter::SortByName(m_store.UnsubList, NameSortDescending);
    view.SetStatusText(QStringLiteral("Sorting New groups"));
    TGroupSorter::SortByName(m_store.NewList, NameSortDescending);
    view.SetStatusText(QStringLiteral("Saving changes"));
    const bool saved = m_store.RewriteInListOrder();
    m_store.ShowGroups();
    m_store.State().Commands.SetBusy(false);
    if (saved)
        view.SetStatusText(QStringLiteral("Finished"));
}

void TGroupListOperations::GroupsSubscribeItemClick(const TWindowView& window)
{
    m_store.State().SetCurrentProcName(QStringLiteral("GroupsSubscribeItemClick"));
    MoveGroups(m_store.GroupView, window.GroupPaneSelectedRows());
}

bool TGroupListOperations::MoveGroups(int shown, const QList<int>& rows)
{
    if (rows.isEmpty())
        return true;

    TGroupList& source = m_store.List(shown);
    TGroupList& target =
        m_store.List(shown == TNewsrcStore::ViewSubscribed ? TNewsrcStore::ViewUnsubscribed
                                                           : TNewsrcStore::ViewSubscribed);
    const quint8 flag = shown == TNewsrcStore::ViewSubscribed ? TNewsrcFile::FlagUnsubscribed
                                                              : TNewsrcFile::FlagSubscribed;
    std::vector<bool> moving(source.size(), false);
    QList<qint32> recordNos;
    for (int row : rows) {
        if (row >= 0 && size_t(row) < source.size() && !moving[size_t(row)]) {
            moving[size_t(row)] = true;
            recordNos << source[size_t(row)].RecordNo;
        }
    }
    m_store.State().Commands.SetBusy(true);
    // The file first: when it cannot be written, nothing moves and memory still matches it.
    const bool written = m_store.UpdateGroupFlags(flag, recordNos);
    if (written) {
        TGroupList kept;
        kept.reserve(source.size() - size_t(recordNos.size()));
        for (size_t i = 0; i < source.size(); ++i) {
            if (moving[i])
                target.push_back(std::move(source[i]));
            else
                kept.push_back(std::move(source[i]));
        }
        source = std::move(kept);
        source.shrink_to_fit();
    }
    m_store.ShowGroups();
    m_store.State().Commands.SetBusy(false);
    return written;
}

void TGroupListOperations::GroupFindClick(TWindowView& window)
{
    m_store.State().SetCurrentProcName(QStringLiteral("GroupFindClick"));
    TView& view = m_store.View();
    StartIndex = 0;
    const std::optional<TFindAnswer> answer = window.AskFindGroup(SearchText, SearchMode);
    if (!answer)
        return;
    if (!window.GroupPaneSelectedRows().isEmpty())
        window.GroupPaneSelectRows({}, true);
    SearchText = answer->Text;
    SearchMode = answer->Mode;
    FindGroup(window);
    if (!window.GroupPaneSelectedRows().isEmpty())
        m_store.State().Commands.SetActionEnabled(TViewAction::FindAgain,
                                                  SearchMode == TFindMode::First);
    else
        view.ShowWarning(QStringLiteral("No matches were found"));
}

void TGroupListOperations::FindGroup(TWindowView& window)
{
    m_store.State().SetCurrentProcName(QStringLiteral("FindGroup"));
    if (SearchText.isEmpty())
        return;
    const TGroupList& list = m_store.ShownList();
    QList<int> matches;
    for (size_t i = size_t(qMax(0, StartIndex)); i < list.size(); ++i) {
        if (!GroupName::Shown(list[i].Name).contains(SearchText, Qt::CaseSensitive))
            continue;
        matches << int(i);
        if (SearchMode == TFindMode::First) {
            StartIndex = int(i);
            break;
        }
    }
    if (matches.isEmpty())
        return;
    window.GroupPaneSelectRows(matches, false);
    window.GroupPaneMakeVisible(matches.last());
}

void TGroupListOperations::FindAgainClick(TWindowView& window)
{
    m_store.State().SetCurrentProcName(QStringLiteral("FindAgainClick"));
    TView& view = m_store.View();
    window.GroupPaneSelectRows({}, true);
    ++StartIndex;
    FindGroup(window);
    if (window.GroupPaneSelectedRows().isEmpty()) {
        view.ShowWarning(QStringLiteral("No more matches were found"));
        m_store.State().Commands.SetActionEnabled(TViewAction::FindAgain, false);
    }
}

qint32 TGroupListOperations::GetSelectedGroups(const QList<int>& rows, QStringList& list)
{
    if (rows.isEmpty())
        return 0;
    for (int row : rows)
        list << m_store.GetGroup(row);
    return qint32(list.size());
}

void TGroupListOperations::UpdateGroupCount(int listIndex, const QList<int>& rows, qint32 n)
{
    if (rows.isEmpty())
        return;
    TGroupList& list = m_store.List(listIndex);
    QList<QPair<qint32, qint32>> counts;
    QList<size_t> entries;
    for (int row : rows) {
        if (row < 0 || size_t(row) >= list.size())
            continue;
        // Wraps like the stored 32-bit field rather than overflowing.
        const qint32 count = qint32(quint32(list[size_t(row)].Count) + quint32(n));
        counts.append({list[size_t(row)].RecordNo, count});
        entries << size_t(row);
    }
    if (m_store.UpdateGroupCounts(counts)) {
        for (qsizetype i = 0; i < entries.size(); ++i)
            list[entries[i]].Count = counts[i].second;
    }
    m_store.RowsChanged();
}

void TGroupListOperations::CountPost(const QStringList& groups)
{
    const QSet<QString> names(groups.begin(), groups.end());
    for (int listIndex :
         {TNewsrcStore::ViewSubscribed, TNewsrcStore::ViewUnsubscribed, TNewsrcStore::ViewNew}) {
        const TGroupList& list = m_store.List(listIndex);
        QList<int> rows;
        for (size_t row = 0; row < list.size(); ++row) {
            if (names.contains(list[row].Name))
                rows << int(row);
        }
        UpdateGroupCount(listIndex, rows, 1);
    }
}

bool TGroupListOperations::ParseImportLine(const QByteArray& line, QByteArray& name, quint8& flag)
{
    // Blanks and control characters around the line carry nothing.
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && quint8(line[begin]) <= ' ')
        ++begin;
    while (end > begin && quint8(line[end - 1]) <= ' ')
        --end;
    const QByteArray text = line.mid(begin, end - begin);

    // Later rules win: "!" over ":", and "*" over both.
    bool found = false;
    const struct
    {
        char Mark;
        quint8 Flag;
    } rules[] = {{':', TNewsrcFile::FlagSubscribed},
                 {'!', TNewsrcFile::FlagUnsubscribed},
                 {'*', TNewsrcFile::FlagNew}};
    for (const auto& rule : rules) {
        const qsizetype at = text.indexOf(rule.Mark);
        if (at >= 0) {
            name = text.left(at);
            flag = rule.Flag;
            found = true;
        }
    }
    return found && GroupName::IsUsable(name) && TNewsrcFile::NameFits(name);
}

bool TGroupListOperations::importFile(const QString& path)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        m_store.ReportFileError(QStringLiteral("Cannot open the newsrc text file %1: %2")
                                    .arg(QDir::toNativeSeparators(path), source.errorString()));
        return false;
    }
    const QByteArray text = source.readAll();
    if (source.error() != QFileDevice::NoError) {
        m_store.ReportFileError(QStringLiteral("Cannot read the newsrc text file %1: %2")
                                    .arg(QDir::toNativeSeparators(path), source.errorString()));
        return false;
    }
    const QList<QByteArray> lines = text.split('\n');
    TProgressStepper progress(m_store.View(), lines.size());
    QByteArray records;
    int skipped = 0;
    for (const QByteArray& line : lines) {
        QByteArray name;
        quint8 flag = 0;
        if (ParseImportLine(line, name, flag))
            TNewsrcFile::AppendRecord(records, name, 0, flag);
        else if (!line.trimmed().isEmpty())
            ++skipped;
        progress.Step();
    }
    progress.Finish();
    if (skipped > 0)
        m_store.Logger().LogIt(QStringLiteral("%1 line(s) of %2 were skipped: no group name, or "
                                              "one too long or holding a control character "
                                              "or a blank")
                                   .arg(QString::number(skipped), QDir::toNativeSeparators(path)));
    QString error;
    if (!TNewsrcFile(m_store.NewsrcPath()).Replace(records, error)) {
        m_store.ReportFileError(error);
        return false;
    }
    return true;
}

void TGroupListOperations::GroupsImportClick(TWindowView& window)
{
    const QString path = window.AskOpenFile(QString(), QString());
    if (!path.isEmpty())
        ImportGroups(path);
}

bool TGroupListOperations::ImportGroups(const QString& path)
{
    TView& view = m_store.View();
    m_store.State().Commands.SetBusy(true);
    view.SetStatusText(QStringLiteral("Importing ") + path);
    const bool imported = importFile(path);
    m_store.State().Commands.SetBusy(false);
    if (!imported)
        return false;
    const bool read = m_store.ReadNewsrc();
    m_store.ShowGroups();
    view.SetStatusText(QStringLiteral("Finished"));
    return read;
}
