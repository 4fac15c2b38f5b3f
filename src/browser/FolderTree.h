#pragma once

#include <QTreeView>

class QFileSystemModel;

// The folder tree: every folder of the file system, one of them selected. The file list
// follows the selected folder.
class TFolderTree : public QTreeView
{
    Q_OBJECT
public:
    explicit TFolderTree(QWidget* parent = nullptr);

    // The selected folder as an absolute path; empty when none is selected.
    QString SelectedPath() const;
    // Selects path (opening its parents); an unknown path selects its nearest existing parent.
    void SetSelectedPath(const QString& path);
    // Re-reads the folders from disk, keeping the selection.
    void Refresh();

signals:
    void FolderSelected(const QString& path);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void BuildModel();

    void ShowPendingPath(const QString& loadedFolder);

    QFileSystemModel* m_model = nullptr;
    // The folder asked for while its parents are still being read.
    QString m_pendingPath;
};
