#pragma once

#include <QWidget>

#include <functional>

class QAbstractItemView;
class QFileInfo;
class QFileSystemModel;
class QItemSelectionModel;
class QListView;
class QStackedLayout;
class QTreeView;
class TFileListFilter;

enum class TFileListStyle
{
    List,
    SmallIcon,
    Details,
};

// The files of one folder, with their type icons, in one of three view styles. Several
// files can be selected; the selection is reported top to bottom with full paths.
class TFileList : public QWidget
{
    Q_OBJECT
public:
    explicit TFileList(QWidget* parent = nullptr);

    void SetFolder(const QString& path);
    // Reads the folder anew: sizes and dates of files changed in place, keeping the selection.
    void Refresh();
    QString Folder() const { return m_folder; }

    // Asked for every entry the list is about to show; false keeps it out.
    void SetAdmitHook(std::function<bool(const QFileInfo&)> admit);

    int ItemCount() const;
    QStringList Items() const; // full paths, in display order
    QStringList SelectedFiles() const;
    bool HasSelection() const;
    void SelectAll();
    void ClearSelection();
    // Selects the entries with these full paths (others are left as they are).
    void SelectFiles(const QStringList& paths);

    TFileListStyle ViewStyle() const { return m_style; }
    void SetViewStyle(TFileListStyle style);

    QAbstractItemView* CurrentView() const;

signals:
    void SelectionChanged();
    void FolderLoaded(const QString& path);

private:
    QFileSystemModel* NewModel();
    void Reselect();
    QModelIndex RootIndex() const;
    QSize SmallIconGrid() const;
    void ApplyRoot();

    QFileSystemModel* m_model;
    TFileListFilter* m_filter;
    QItemSelectionModel* m_selection;
    QListView* m_listView;
    QTreeView* m_detailsView;
    QStackedLayout* m_stack;
    QString m_folder;
    QStringList m_reselect; // chosen before a refresh, chosen again once the folder is read
    TFileListStyle m_style = TFileListStyle::Details;
};
