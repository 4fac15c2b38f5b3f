#include "ui/WindowLayout.h"

#include "base/SettingsStore.h"

#include <QHeaderView>
#include <QSplitter>
#include <QTreeView>
#include <QWidget>

namespace {

const QString Key = QStringLiteral("Window");

QByteArray Read(const TSettingsStore& store, const QString& name)
{
    return QByteArray::fromBase64(store.ReadString(Key, name, QString()).toLatin1());
}

void Write(TSettingsStore& store, const QString& name, const QByteArray& value)
{
    store.WriteString(Key, name, QString::fromLatin1(value.toBase64()));
}

// The lists whose columns the user sizes: every tree view with a name.
QList<QTreeView*> Lists(const QWidget& window)
{
    QList<QTreeView*> lists;
    for (QTreeView* view : window.findChildren<QTreeView*>())
        if (!view->objectName().isEmpty() && view->window() == &window)
            lists << view;
    return lists;
}

} // namespace

namespace WindowLayout {

void Restore(QWidget& window, const TSettingsStore& store)
{
    if (const QByteArray geometry = Read(store, QStringLiteral("Geometry")); !geometry.isEmpty())
        window.restoreGeometry(geometry);
    for (QSplitter* splitter : window.findChildren<QSplitter*>())
        if (const QByteArray state = Read(store, splitter->objectName()); !state.isEmpty())
            splitter->restoreState(state);
    for (QTreeView* list : Lists(window))
        if (const QByteArray state = Read(store, list->objectName() + QStringLiteral("Columns"));
            !state.isEmpty())
            list->header()->restoreState(state);
}

void Save(const QWidget& window, TSettingsStore& store)
{
    Write(store, QStringLiteral("Geometry"), window.saveGeometry());
    for (const QSplitter* splitter : window.findChildren<QSplitter*>())
        if (!splitter->objectName().isEmpty())
            Write(store, splitter->objectName(), splitter->saveState());
    for (const QTreeView* list : Lists(window))
        Write(store, list->objectName() + QStringLiteral("Columns"), list->header()->saveState());
}

} // namespace WindowLayout
