#pragma once

#include <QSortFilterProxyModel>

#include <functional>

class QFileInfo;
class QFileSystemModel;

// Sits between the file system model and the file list: asks the admission hook about every
// entry of the listed folder, and sorts sizes and dates by value rather than by their text.
class TFileListFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    using TAdmit = std::function<bool(const QFileInfo&)>;

    TFileListFilter(QFileSystemModel* source, QObject* parent = nullptr);

    void SetFolder(const QString& path);
    void SetAdmit(TAdmit admit);
    QFileSystemModel* FileSystem() const { return m_source; }
    void SetFileSystem(QFileSystemModel* source);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QFileSystemModel* m_source;
    QString m_folder;
    TAdmit m_admit;
};
