#pragma once

class QWidget;
class TSettingsStore;

// The main window's size and place, its panes' splits and its lists' columns, per user in
// the settings file (key "Window"), so that the window opens as it was left. Splitters and
// lists are found by their object names; one that is not in the file keeps its first layout.
namespace WindowLayout {

void Restore(QWidget& window, const TSettingsStore& store);
void Save(const QWidget& window, TSettingsStore& store);

} // namespace WindowLayout
