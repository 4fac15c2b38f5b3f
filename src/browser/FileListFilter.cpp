#include "browser/FileListFilter.h"

#include <QCollator>
#include <QDateTime>
#include <QFileSystemModel>

TFileListFilter::TFileListFilter(QFileSystemModel* source, QObject* parent)
    : QSortFilterProxyModel(parent), m_source(source)
{
    setSourceModel(source);
    setDynamicSortFilter(true);
}

void TFileListFilter::SetFileSystem(QFileSystemModel* source)
{
    m_source = source;
    setSourceModel(source);
}

void TFileListFilter::SetFolder(const QString& path)
{
    m_folder = path;
    invalidateFilter();
}

void TFileListFilter::SetAdmit(TAdmit admit)
{
    m_admit = std::move(admit);
    invalidateFilter();
}

bool TFileListFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    // Entries above the listed folder only carry the path down to it; they are never shown.
    if (m_source->filePath(sourceParent) != m_folder)
        return true;
    if (!m_admit)
        return true;
    return m_admit(m_source->fileInfo(m_source->index(sourceRow, 0, sourceParent)));
}

bool TFileListFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    switch (left.column()) {
    case 1:
        return m_source->size(left) < m_source->size(right);
    case 3:
        return m_source->lastModified(left) < m_source->lastModified(right);
    default: {
        static const QCollator collator = [] {
            QCollator c;
            c.setCaseSensitivity(Qt::CaseInsensitive);
            c.setNumericMode(true);
            return c;
        }();
        const int byText = collator.compare(left.data().toString(), right.data().toString());
        if (byText != 0 || left.column() == 0)
            return byText < 0;
        return collator.compare(m_source->fileName(left), m_source->fileName(right)) < 0;
    }
    }
}
