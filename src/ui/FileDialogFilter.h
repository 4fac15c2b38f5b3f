#pragma once

#include <QString>

// Turns a filter in the program's "Name|*.ext|Name|*.*" form into the "Name (*.ext);;Name (*)"
// form of the file dialogs. "*.*" means every file, also those without an extension.
QString ToDialogFilter(const QString& filter);
