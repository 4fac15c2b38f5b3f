#pragma once

#include <QStringList>

// Colours readable on a dark desktop: with "--dark", or a GTK theme whose name says dark
// (GTK_THEME "Adwaita:dark", "Yaru-dark"), the window uses the Fusion style with a dark
// palette, so that no text is drawn dark on dark. Removes "--dark" from args.
void UseDesktopPalette(QStringList& args);
