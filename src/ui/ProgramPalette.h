#pragma once

#include <QStringList>

// The desktop's colours followed: with "--dark", or a desktop that prefers dark (the settings
// portal's color-scheme, or GTK_THEME "Adwaita:dark", "Yaru-dark"), the window uses the Fusion
// style with a dark palette, so that no text is drawn dark on dark; a light desktop keeps the
// platform's style. Removes "--dark" from args.
void UseDesktopPalette(QStringList& args);
