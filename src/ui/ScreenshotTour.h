#pragma once

#include <QString>

class TMainForm;

// Saves pictures of the main window and of the setup dialog's pages into folder, for the
// documentation. Returns the number of pictures written.
int TakeScreenshots(TMainForm& form, const QString& folder);
