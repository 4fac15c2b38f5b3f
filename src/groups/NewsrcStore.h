#pragma once

#include "groups/GroupIndex.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

class TLogger;
class TView;
struct TAppState;

// The current profile's groups: the newsrc file and, in memory, one list per state
// (subscribed, unsubscribed, new) with GroupView choosing the list the group pane shows.
// Every entry's RecordNo is the position of its record in the file, its list matches the
// record's flag and its Count the record's count. File failures are logged and shown to
// the user; the operation then returns false and leaves the file as it was (or whole) and
// the lists as they were - except ReadNewsrc, which leaves them empty.
// What saving a received group list wrote: the groups kept, and the names left out because
// a newsrc record cannot hold them (75 bytes or more).
struct TSavedGroups
{
    qint32 Saved = 0;
    qint32 TooLong = 0;
};

class TNewsrcStore : public QObject
{
    Q_OBJECT
public:
    enum : int
    {
        ViewSubscribed = 0,
        ViewUnsubscribed = 1,
        ViewNew = 2,
    };

    TNewsrcStore(TAppState& state, TLogger& logger, TView& view, QObject* parent = nullptr);

    TGroupList SubList;
    TGroupList UnsubList;
    TGroupList NewList;
    int GroupView = ViewSubscribed;

    // The list of a state (0, 1, 2); the flag of its records is the same number.
    TGroupList& List(int view);
    TGroupList& ShownList() { return List(GroupView); }
    const TGroupList& ShownList() const;
    static QString ListLabel(int view);

    // Loads the three lists from NewsrcPath, creating the default file first when there
    // is none. Does not refresh the pane: callers call ShowGroups.
    bool ReadNewsrc();
    // Makes NewsrcPath hold the single subscribed group "alt.test".
    bool CreateNewsrc();
    // What reading a profile's settings does: CreateNewsrc when the file is missing.
    bool CreateNewsrcIfMissing();
    void ClearSubList() { SubList.clear(); }
    void ClearUnsubList() { UnsubList.clear(); }
    void ClearNewList() { NewList.clear(); }

    bool UpdateGroupFlag(quint8 flag, qint32 recordNo);
    bool UpdateGroupFlags(quint8 flag, const QList<qint32>& recordNos);
    // Rewrites the count of records in place: (record number, new count).
    bool UpdateGroupCounts(const QList<QPair<qint32, qint32>>& counts);

    // Name and count of the row of the shown list; empty and 0 past its end.
    QString GetGroup(qint32 index);
    qint32 GetGroupCount(qint32 index);

    // A full group list received into the task's target file: it becomes the whole store,
    // all unsubscribed, in the order received. The lists change only when the target is
    // the current profile's file.
    // count, when given, receives how many groups were written and how many were too long.
    bool SaveFullList(const QStringList& groups, const QString& targetPath,
                      TSavedGroups* count = nullptr);
    // Groups created since the last query: the former new groups become unsubscribed and
    // the received ones are appended as new.
    bool SaveNewGroups(const QStringList& groups, const QString& targetPath,
                       TSavedGroups* count = nullptr);

    // Rewrites the whole file in the lists' present order (subscribed, unsubscribed, new)
    // and renumbers the entries; the numbers change only when the file was written.
    bool RewriteInListOrder();

    // Refreshes the group pane: count and first column caption of the shown list.
    void ShowGroups();
    QString ShownCaption() const;

    bool IsCurrentFile(const QString& path) const;
    QString NewsrcPath() const;
    void ReportFileError(const QString& error);

    // The counts or names of the shown rows changed in place: the group pane repaints.
    void RowsChanged() { emit ShownRowsChanged(); }

    TAppState& State() { return m_state; }
    TView& View() { return m_view; }
    TLogger& Logger() { return m_logger; }

signals:
    // What the group pane shows of the shown list: it follows these.
    void ShownSelectionCleared();
    void ShownCountChanged(int count);
    void ShownCaptionChanged(const QString& caption);
    void ShownRowsChanged();

private:
    void logTooLong(const TSavedGroups& count, const QString& targetPath);
    bool markNewAsUnsubscribed(const QString& targetPath, bool current);

    TAppState& m_state;
    TLogger& m_logger;
    TView& m_view;
};
