#include "ui/WindowLayout.h"

#include "base/SettingsStore.h"

#include <QHeaderView>
#include <QSplitter>
#include <QTableView>
#include <QTreeView>
#include <QWidget>

namespace {

QByteArray Read(const TSettingsStore& store, const QString& key, const QString& name)
{
    return QByteArray::fromBase64(store.ReadString(key, name, QString()).toLatin1());
}

void Write(TSettingsStore& store, const QString& key, const QString& name, const QByteArray& value)
{
    store.WriteString(key, name, QString::fromLatin1(value.toBase64()));
}

template <typename T> QList<T*> Own(const QWidget& window)
{
    QList<T*> own;
    for (T* widget : window.findChildren<T*>())
        if (!widget->objectName().isEmpty() && widget->window() == &window)
            own << widget;
    return own;
}

// The headers of the lists whose columns the user sizes: every tree or table with a name.
QList<QPair<QString, QHeaderView*>> Columns(const QWidget& window)
{
    QList<QPair<QString, QHeaderView*>> headers;
    for (QTreeView* view : Own<QTreeView>(window))
        headers.append({view->objectName() + QStringLiteral("Columns"), view->header()});
    for (QTableView* view : Own<QTableView>(window))
        headers.append({view->objectName() + QStringLiteral("Columns"), view->horizontalHeader()});
    return headers;
}

} // namespace

namespace WindowLayout {

bool Restore(QWidget& window, const TSettingsStore& store, const QString& key)
{
    if (const QByteArray geometry = Read(store, key, QStringLiteral("Geometry"));
        !geometry.isEmpty())
        window.restoreGeometry(geometry);
    for (QSplitter* splitter : Own<QSplitter>(window))
        if (const QByteArray state = Read(store, key, splitter->objectName()); !state.isEmpty())
            splitter->restoreState(state);
    bool columns = false;
    for (const auto& [name, header] : Columns(window))
        if (const QByteArray state = Read(store, key, name); !state.isEmpty())
            columns |= header->restoreState(state);
    return columns;
}

void Save(const QWidget& window, TSettingsStore& store, const QString& key)
{
    Write(store, key, QStringLiteral("Geometry"), window.saveGeometry());
    for (const QSplitter* splitter : Own<QSplitter>(window))
        Write(store, key, splitter->objectName(), splitter->saveState());
    for (const auto& [name, header] : Columns(window))
        Write(store, key, name, header->saveState());
}

} // namespace WindowLayout
