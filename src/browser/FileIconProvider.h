#pragma once

#include <QFileIconProvider>

// File icons by content type from the desktop's icon theme (a zip archive, a picture, a song),
// falling back to the plain file and folder icons.
class TFileIconProvider : public QFileIconProvider
{
public:
    QIcon icon(const QFileInfo& info) const override;
    using QFileIconProvider::icon;
};
