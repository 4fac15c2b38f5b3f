#pragma once

class QWidget;
class TSettingsStore;

#include <QString>

// A window's size and place, its panes' splits and its lists' columns, per user in the
// settings file (the main window's under the key "Window", a dialog's under a key of its own),
// so that the window opens as it was left. Splitters and lists are the window's own (not those
// of a dialog it owns), found by their object names; one that is not in the file keeps its
// first layout.
namespace WindowLayout {

// True when the file held columns for one of the window's lists.
bool Restore(QWidget& window, const TSettingsStore& store,
             const QString& key = QStringLiteral("Window"));
void Save(const QWidget& window, TSettingsStore& store,
          const QString& key = QStringLiteral("Window"));

} // namespace WindowLayout
