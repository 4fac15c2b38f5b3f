#include "browser/FolderTree.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

TFolderTree::TFolderTree(QWidget* parent) : QTreeView(parent)
{
    connect(verticalScrollBar(), &QScrollBar::sliderPressed, this,
            [this] { m_pendingPath.clear(); });
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    BuildModel();
}

void TFolderTree::BuildModel()
{
    auto* old = m_model;
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setReadOnly(true);
    m_model->setRootPath(QDir::rootPath());
    setModel(m_model);
    // Folders are read in the background: bring the selected one into view once its
    // parent has been read, or it stays scrolled off.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, &TFolderTree::ShowPendingPath);
    // Rows arrive and get sorted after the folder is read; keep the chosen one in view
    // until the user takes over.
    auto keepInView = [this] {
        if (!m_pendingPath.isEmpty() && currentIndex().isValid())
            scrollTo(currentIndex());
    };
    connect(m_model, &QAbstractItemModel::layoutChanged, this, keepInView, Qt::QueuedConnection);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, keepInView, Qt::QueuedConnection);
    // Only the names: sizes and dates of folders tell the user nothing here.
    for (int c = 1; c < m_model->columnCount(); ++c)
        hideColumn(c);
    delete old;
}

QString TFolderTree::SelectedPath() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? m_model->filePath(current) : QString();
}

void TFolderTree::SetSelectedPath(const QString& path)
{
    QString dir = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!QFileInfo(dir).isDir() && dir != QDir::rootPath())
        dir = QFileInfo(dir).absolutePath();
    m_pendingPath = dir;
    ShowPendingPath(dir);
}

void TFolderTree::ShowPendingPath(const QString& loadedFolder)
{
    if (m_pendingPath.isEmpty() || !m_pendingPath.startsWith(loadedFolder))
        return;
    const QModelIndex index = m_model->index(m_pendingPath);
    if (!index.isValid())
        return;
    for (QModelIndex p = index.parent(); p.isValid(); p = p.parent())
        expand(p);
    setCurrentIndex(index);
    scrollTo(index);
}

void TFolderTree::Refresh()
{
    const QString path = SelectedPath();
    BuildModel();
    if (!path.isEmpty())
        SetSelectedPath(path);
}

void TFolderTree::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    // A folder the user picks wins over one still waiting for its parents.
    if (current.isValid() && m_model->filePath(current) != m_pendingPath)
        m_pendingPath.clear();
    if (current.isValid())
        emit FolderSelected(m_model->filePath(current));
}

void TFolderTree::mousePressEvent(QMouseEvent* event)
{
    m_pendingPath.clear();
    QTreeView::mousePressEvent(event);
}

void TFolderTree::keyPressEvent(QKeyEvent* event)
{
    m_pendingPath.clear();
    QTreeView::keyPressEvent(event);
}

void TFolderTree::wheelEvent(QWheelEvent* event)
{
    m_pendingPath.clear();
    QTreeView::wheelEvent(event);
}
