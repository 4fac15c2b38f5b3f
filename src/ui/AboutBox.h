#pragma once

#include <QDialog>

// "About Quorvel": the icon, the product name and "Version " with the version text.
class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    TAboutBox(const QString& versionText, QWidget* parent = nullptr);
};
