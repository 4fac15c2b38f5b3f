#pragma once

#include <QIcon>

// Pictures for the file list's three view buttons. Icon themes rarely offer all three in one
// look, so they are drawn here in the palette's text colour.
QIcon ListViewIcon();
QIcon SmallIconViewIcon();
QIcon DetailsViewIcon();
