#include "groups/NewsrcStore.h"

#include "base/AppState.h"
#include "base/Logger.h"
#include "base/View.h"
#include "groups/NewsrcFile.h"
#include "base/ProgressStepper.h"

#include <QDir>
#include <QFileInfo>

TNewsrcStore::TNewsrcStore(TAppState& state, TLogger& logger, TView& view, QObject* parent)
    : QObject(parent), m_state(state), m_logger(logger), m_view(view)
{
}

TGroupList& TNewsrcStore::List(int view)
{
    switch (view) {
    case ViewUnsubscribed:
        return UnsubList;
    case ViewNew:
        return NewList;
    default:
        return SubList;
    }
}

const TGroupList& TNewsrcStore::ShownList() const
{
    return const_cast<TNewsrcStore*>(this)->List(GroupView);
}

QString TNewsrcStore::ListLabel(int view)
{
    switch (view) {
    case ViewUnsubscribed:
        return QStringLiteral("Unsubscribed");
    case ViewNew:
        return QStringLiteral("New");
    default:
        return QStringLiteral("Subscribed");
    }
}

QString TNewsrcStore::NewsrcPath() const
{
    return m_state.NewsrcPath;
}

bool TNewsrcStore::IsCurrentFile(const QString& path) const
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath()) ==
           QDir::cleanPath(QFileInfo(m_state.NewsrcPath).absoluteFilePath());
}

void TNewsrcStore::ReportFileError(const QString& error)
{
    m_logger.LogIt(QStringLiteral("Error: ") + error);
    m_view.ShowWarning(error);
}

bool TNewsrcStore::CreateNewsrc()
{
    m_state.SetCurrentProcName(QStringLiteral("CreateNewsrc"));
    QByteArray record;
    TNewsrcFile::AppendRecord(record, QByteArrayLiteral("alt.test"), 0,
                              TNewsrcFile::FlagSubscribed);
    QString error;
    if (!TNewsrcFile(m_state.NewsrcPath).Replace(record, error)) {
        ReportFileError(error);
        return false;
    }
    return true;
}

bool TNewsrcStore::CreateNewsrcIfMissing()
{
    return TNewsrcFile(m_state.NewsrcPath).Exists() || CreateNewsrc();
}

bool TNewsrcStore::ReadNewsrc()
{
    m_state.SetCurrentProcName(QStringLiteral("ReadNewsrc"));
    if (m_state.NewsrcPath.isEmpty())
        m_state.NewsrcPath = m_state.ProgramDir + QStringLiteral("newsrc");
    // The lists go first, whatever happens next: after a change of profile they belong to
    // the profile left, and changes made to them would land in the wrong file.
    emit ShownCaptionChanged(QStringLiteral("Reading newsrc file"));
    emit ShownCountChanged(0);
    emit ShownRowsChanged();
    ClearSubList();
    ClearUnsubList();
    ClearNewList();
    const TNewsrcFile file(m_state.NewsrcPath);
    if (!file.Exists() && !CreateNewsrc())
        return false;

    m_state.Commands.SetBusy(true);

    std::vector<TNewsrcRecord> records;
    qint64 trailing = 0;
    QString error;
    const bool read = file.ReadAll(records, trailing, error);
    m_state.Commands.SetBusy(false);
    if (!read) {
        ReportFileError(error);
        return false;
    }
    for (size_t no = 0; no < records.size(); ++no) {
        const TNewsrcRecord& r = records[no];
        // A record of an unknown state is skipped but keeps its number.
        if (r.Flag > TNewsrcFile::FlagNew)
            continue;
        List(r.Flag).push_back({QString::fromLatin1(r.Name), qint32(no), r.Count});
    }
    if (trailing > 0) {
        const QString text =
            QStringLiteral("The newsrc file %1 ends with %2 bytes that do not make a whole "
                           "group record; they were ignored.")
                .arg(QDir::toNativeSeparators(m_state.NewsrcPath), QString::number(trailing));
        m_logger.LogIt(text);
        m_view.ShowWarning(text);
    }
    return true;
}

bool TNewsrcStore::UpdateGroupFlag(quint8 flag, qint32 recordNo)
{
    return UpdateGroupFlags(flag, {recordNo});
}

bool TNewsrcStore::UpdateGroupFlags(quint8 flag, const QList<qint32>& recordNos)
{
    if (recordNos.isEmpty())
        return true;
    QString error;
    if (!TNewsrcFile(m_state.NewsrcPath).PatchFlags(recordNos, flag, error)) {
        ReportFileError(error);
        return false;
    }
    return true;
}

bool TNewsrcStore::UpdateGroupCounts(const QList<QPair<qint32, qint32>>& counts)
{
    if (counts.isEmpty())
        return true;
    QString error;
    if (!TNewsrcFile(m_state.NewsrcPath).PatchCounts(counts, error)) {
        ReportFileError(error);
        return false;
    }
    return true;
}

QString TNewsrcStore::GetGroup(qint32 index)
{
    m_state.SetCurrentProcName(QStringLiteral("GetGroup"));
    const TGroupList& list = ShownList();
    if (index < 0) {
        m_logger.LogIt(QStringLiteral("List index out of bounds (%1)").arg(index));
        return QString();
    }
    return size_t(index) < list.size() ? list[size_t(index)].Name : QString();
}

qint32 TNewsrcStore::GetGroupCount(qint32 index)
{
    m_state.SetCurrentProcName(QStringLiteral("GetGroupCount"));
    const TGroupList& list = ShownList();
    if (index < 0) {
        m_logger.LogIt(QStringLiteral("List index out of bounds (%1)").arg(index));
        return 0;
    }
    return size_t(index) < list.size() ? list[size_t(index)].Count : 0;
}

void TNewsrcStore::logTooLong(const TSavedGroups& count, const QString& targetPath)
{
    if (count.TooLong > 0)
        m_logger.LogIt(QStringLiteral("%1 group name(s) of %2 bytes or more were left out of %3: "
                                      "a newsrc record holds fewer")
                           .arg(QString::number(count.TooLong),
                                QString::number(TNewsrcFile::NameLimit),
                                QDir::toNativeSeparators(targetPath)));
}

bool TNewsrcStore::SaveFullList(const QStringList& groups, const QString& targetPath,
                                TSavedGroups* count)
{
    m_view.SetStatusText(QStringLiteral("Saving received groups"));
    const bool current = IsCurrentFile(targetPath);
    TProgressStepper progress(m_view, groups.size());
    QByteArray records;
    records.reserve(groups.size() * TNewsrcFile::RecordSize);
    TGroupList received;
    received.reserve(size_t(groups.size()));
    TSavedGroups tally;
    for (const QString& group : groups) {
        if (TNewsrcFile::NameFits(QStringView(group))) {
            const qint32 no = qint32(records.size() / TNewsrcFile::RecordSize);
            TNewsrcFile::AppendRecord(records, QStringView(group), 0,
                                      TNewsrcFile::FlagUnsubscribed);
            if (current)
                received.push_back({group, no, 0});
        } else {
            ++tally.TooLong;
        }
        progress.Step();
    }
    tally.Saved = qint32(records.size() / TNewsrcFile::RecordSize);
    QString error;
    const bool written = TNewsrcFile(targetPath).Replace(records, error);
    progress.Finish();
    if (!written) {
        ReportFileError(error);
        return false;
    }
    if (current) {
        emit ShownCountChanged(0);
        emit ShownRowsChanged();
        ClearSubList();
        ClearNewList();
        UnsubList = std::move(received);
    }
    logTooLong(tally, targetPath);
    if (count)
        *count = tally;
    m_view.SetStatusText(QStringLiteral("Finished"));
    return true;
}

bool TNewsrcStore::markNewAsUnsubscribed(const QString& targetPath, bool current)
{
    QList<qint32> recordNos;
    if (current) {
        for (const TGroupIndex& entry : NewList)
            recordNos << entry.RecordNo;
    } else {
        // Another profile's file: its new groups are known only from the file itself.
        std::vector<TNewsrcRecord> records;
        qint64 trailing = 0;
        QString error;
        if (!TNewsrcFile(targetPath).ReadAll(records, trailing, error)) {
            ReportFileError(error);
            return false;
        }
        for (size_t no = 0; no < records.size(); ++no)
            if (records[no].Flag == TNewsrcFile::FlagNew)
                recordNos << qint32(no);
    }
    if (!recordNos.isEmpty()) {
        QString error;
        if (!TNewsrcFile(targetPath).PatchFlags(recordNos, TNewsrcFile::FlagUnsubscribed, error)) {
            ReportFileError(error);
            return false;
        }
    }
    if (current) {
        UnsubList.insert(UnsubList.end(), std::make_move_iterator(NewList.begin()),
                         std::make_move_iterator(NewList.end()));
        NewList.clear();
    }
    return true;
}

bool TNewsrcStore::SaveNewGroups(const QStringList& groups, const QString& targetPath,
                                 TSavedGroups* count)
{
    if (count)
        *count = TSavedGroups();
    const bool current = IsCurrentFile(targetPath);
    if (!markNewAsUnsubscribed(targetPath, current))
        return false;
    if (groups.isEmpty())
        return true;

    m_view.SetStatusText(QStringLiteral("Saving new groups"));
    TProgressStepper progress(m_view, groups.size());
    QByteArray records;
    records.reserve(groups.size() * TNewsrcFile::RecordSize);
    QStringList kept;
    TSavedGroups tally;
    for (const QString& group : groups) {
        if (TNewsrcFile::NameFits(QStringView(group))) {
            TNewsrcFile::AppendRecord(records, QStringView(group), 0, TNewsrcFile::FlagNew);
            kept << group;
        } else {
            ++tally.TooLong;
        }
        progress.Step();
    }
    tally.Saved = qint32(kept.size());
    qint32 first = 0;
    QString error;
    const bool written = records.isEmpty() || TNewsrcFile(targetPath).Append(records, first, error);
    progress.Finish();
    if (!written) {
        ReportFileError(error);
        return false;
    }
    if (current) {
        for (qsizetype i = 0; i < kept.size(); ++i)
            NewList.push_back({kept[i], first + qint32(i), 0});
    }
    logTooLong(tally, targetPath);
    if (count)
        *count = tally;
    m_view.SetStatusText(QStringLiteral("Finished"));
    return true;
}

bool TNewsrcStore::RewriteInListOrder()
{
    const size_t total = SubList.size() + UnsubList.size() + NewList.size();
    TProgressStepper progress(m_view, qint64(total));
    QByteArray records;
    records.reserve(qsizetype(total) * TNewsrcFile::RecordSize);
    for (int view : {ViewSubscribed, ViewUnsubscribed, ViewNew}) {
        for (const TGroupIndex& entry : List(view)) {
            TNewsrcFile::AppendRecord(records, QStringView(entry.Name), entry.Count, quint8(view));
            progress.Step();
        }
    }
    QString error;
    const bool written = TNewsrcFile(m_state.NewsrcPath).Replace(records, error);
    progress.Finish();
    if (!written) {
        ReportFileError(error);
        return false;
    }
    qint32 no = 0;
    for (int view : {ViewSubscribed, ViewUnsubscribed, ViewNew})
        for (TGroupIndex& entry : List(view))
            entry.RecordNo = no++;
    return true;
}

QString TNewsrcStore::ShownCaption() const
{
    return ListLabel(GroupView) + QStringLiteral(" Groups: ") + QString::number(ShownList().size());
}

void TNewsrcStore::ShowGroups()
{
    m_state.SetCurrentProcName(QStringLiteral("ShowGroups"));
    emit ShownSelectionCleared();
    emit ShownCountChanged(int(ShownList().size()));
    emit ShownCaptionChanged(ShownCaption());
}
