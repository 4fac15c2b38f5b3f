#pragma once

#include <QIcon>

// The program's icon, painted at any size: a blue envelope with a rising arrow (uploading to
// the news server). The same picture ships as quorvel.svg for the desktop.
QPixmap ProgramPixmap(int size);
QIcon ProgramIcon();
