#include "browser/FileList.h"

#include "browser/FileIconProvider.h"
#include "browser/FileListFilter.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QStackedLayout>
#include <QTreeView>

#include <algorithm>

TFileList::TFileList(QWidget* parent) : QWidget(parent)
{
    m_model = NewModel();
    m_filter = new TFileListFilter(m_model, this);
    m_selection = new QItemSelectionModel(m_filter, this);

    m_listView = new QListView(this);
    m_detailsView = new QTreeView(this);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_listView),
                                    static_cast<QAbstractItemView*>(m_detailsView)}) {
        view->setModel(m_filter);
        view->setSelectionModel(m_selection);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setDragEnabled(false);
        view->setFocusPolicy(Qt::StrongFocus);
    }
    // Each name at its own width: uniform sizes would cut long names to the first one's.
    m_listView->setUniformItemSizes(false);
    m_listView->setResizeMode(QListView::Adjust);
    m_listView->setWrapping(true);
    m_detailsView->setRootIsDecorated(false);
    m_detailsView->setItemsExpandable(false);
    m_detailsView->setUniformRowHeights(true);
    m_detailsView->setSortingEnabled(true);
    m_detailsView->sortByColumn(0, Qt::AscendingOrder);
    m_detailsView->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_detailsView->header()->resizeSection(0, 220);

    m_stack = new QStackedLayout(this);
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_listView);
    m_stack->addWidget(m_detailsView);
    SetViewStyle(TFileListStyle::Details);

    connect(m_selection, &QItemSelectionModel::selectionChanged, this,
            &TFileList::SelectionChanged);
    connect(m_filter, &QAbstractItemModel::rowsInserted, this, &TFileList::Reselect);
}

void TFileList::Reselect()
{
    // The new model brings its rows in batches; choose each file again as its row comes.
    if (m_reselect.isEmpty())
        return;
    SelectFiles(m_reselect);
    if (SelectedFiles().size() >= m_reselect.size())
        m_reselect.clear();
}

QFileSystemModel* TFileList::NewModel()
{
    auto* model = new QFileSystemModel(this);
    model->setReadOnly(true);
    // The model's background reader uses the provider until the model is gone, which is
    // after this widget's own members: one provider for the whole run.
    static TFileIconProvider icons;
    model->setIconProvider(&icons);
    model->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    connect(model, &QFileSystemModel::directoryLoaded, this, [this, model](const QString& path) {
        if (model != m_model || QDir::cleanPath(path) != m_folder)
            return;
        if (m_style == TFileListStyle::SmallIcon)
            m_listView->setGridSize(SmallIconGrid());
        emit FolderLoaded(path);
    });
    return model;
}

void TFileList::Refresh()
{
    if (m_folder.isEmpty())
        return;
    // The file system model notices files coming and going, not a file that grew in place;
    // only a new model reads sizes and dates again.
    m_reselect = SelectedFiles();
    QFileSystemModel* old = m_model;
    m_model = NewModel();
    m_filter->SetFileSystem(m_model);
    old->deleteLater();
    m_model->setRootPath(m_folder);
    ApplyRoot();
}

void TFileList::SetFolder(const QString& path)
{
    const QString folder = QDir::cleanPath(path);
    if (folder == m_folder)
        return;
    m_selection->clear();
    m_reselect.clear();
    m_folder = folder;
    m_filter->SetFolder(m_folder);
    m_model->setRootPath(m_folder);
    ApplyRoot();
}

void TFileList::SetAdmitHook(std::function<bool(const QFileInfo&)> admit)
{
    m_filter->SetAdmit(std::move(admit));
    ApplyRoot();
}

QModelIndex TFileList::RootIndex() const
{
    if (m_folder.isEmpty())
        return {};
    return m_filter->mapFromSource(m_model->index(m_folder));
}

void TFileList::ApplyRoot()
{
    const QModelIndex root = RootIndex();
    m_listView->setRootIndex(root);
    m_detailsView->setRootIndex(root);
}

int TFileList::ItemCount() const
{
    const QModelIndex root = RootIndex();
    return root.isValid() ? m_filter->rowCount(root) : 0;
}

QStringList TFileList::Items() const
{
    QStringList paths;
    const QModelIndex root = RootIndex();
    for (int r = 0; root.isValid() && r < m_filter->rowCount(root); ++r)
        paths << m_model->filePath(m_filter->mapToSource(m_filter->index(r, 0, root)));
    return paths;
}

QStringList TFileList::SelectedFiles() const
{
    QModelIndexList rows = m_selection->selectedRows(0);
    // The user's click order is of no use to the upload: files go top to bottom.
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList paths;
    for (const QModelIndex& index : rows)
        paths << m_model->filePath(m_filter->mapToSource(index));
    return paths;
}

bool TFileList::HasSelection() const
{
    return m_selection->hasSelection();
}

void TFileList::SelectAll()
{
    const QModelIndex root = RootIndex();
    const int rows = root.isValid() ? m_filter->rowCount(root) : 0;
    if (rows == 0)
        return;
    const QItemSelection all(m_filter->index(0, 0, root), m_filter->index(rows - 1, 0, root));
    m_selection->select(all, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TFileList::ClearSelection()
{
    m_selection->clearSelection();
}

void TFileList::SelectFiles(const QStringList& paths)
{
    for (const QString& path : paths) {
        const QModelIndex index = m_filter->mapFromSource(m_model->index(path));
        if (index.isValid() && index.parent() == RootIndex())
            m_selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void TFileList::SetViewStyle(TFileListStyle style)
{
    m_style = style;
    switch (style) {
    case TFileListStyle::List:
        // Names in columns, filled top to bottom, as a classic list view.
        m_listView->setViewMode(QListView::ListMode);
        m_listView->setFlow(QListView::TopToBottom);
        m_listView->setIconSize(QSize(16, 16));
        m_listView->setGridSize(QSize());
        m_stack->setCurrentWidget(m_listView);
        break;
    case TFileListStyle::SmallIcon:
        // Small icons in rows, filled left to right.
        m_listView->setViewMode(QListView::ListMode);
        m_listView->setFlow(QListView::LeftToRight);
        m_listView->setIconSize(QSize(16, 16));
        m_listView->setGridSize(SmallIconGrid());
        m_stack->setCurrentWidget(m_listView);
        break;
    case TFileListStyle::Details:
        m_stack->setCurrentWidget(m_detailsView);
        break;
    }
    m_listView->setWrapping(true);
}

QSize TFileList::SmallIconGrid() const
{
    // Cells as wide as the longest name needs, within reason, so the rows line up.
    const QFontMetrics metrics(m_listView->font());
    int widest = 120;
    for (const QString& path : Items())
        widest = qMax(widest, metrics.horizontalAdvance(QFileInfo(path).fileName()));
    return QSize(qMin(widest, 260) + 16 + 16, qMax(22, metrics.height() + 6));
}

QAbstractItemView* TFileList::CurrentView() const
{
    return m_style == TFileListStyle::Details ? static_cast<QAbstractItemView*>(m_detailsView)
                                              : static_cast<QAbstractItemView*>(m_listView);
}
