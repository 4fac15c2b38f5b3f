#pragma once

#include <QString>

// A small tmpfs mounted over a folder, to see what the program does when a disk is full
// or read-only. Mounting needs root; a test skips when Mount fails. Unmounted on
// destruction.
class TSmallDisk
{
public:
    explicit TSmallDisk(const QString& folder) : m_folder(folder) {}
    ~TSmallDisk();
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;

    bool Mount(int kilobytes, QString* why);
    // Takes every free block with a filler file.
    bool Fill(QString* why);
    bool MakeReadOnly(QString* why);

private:
    bool run(const QStringList& args, QString* why);

    QString m_folder;
    bool m_mounted = false;
};
