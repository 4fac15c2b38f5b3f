#pragma once

// Desktops without an icon theme of their own (a bare X server, a window manager alone) still
// get the toolbar's and the file list's icons from an installed freedesktop theme.
void UseIconTheme();
