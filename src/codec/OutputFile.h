#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <memory>

// The file a conversion writes. A regular file is written to a hidden temporary file beside
// its final name and renamed over it only when the run completes, so a failed run leaves the
// old file as it was and the output may even replace the input. A symbolic link at the name
// is replaced by the file, never written through. Devices, pipes and the
// process's descriptors (standard output, /dev/null) are written directly. Failures raise
// EUUCode naming the file.
class TOutputFile
{
public:
    explicit TOutputFile(const QString& path);
    ~TOutputFile();

    // The name an encoded file's begin line gives for its output, without any folder, so that
    // a decoded file never lands outside the input's folder (both separators count, as posts
    // come from every system) and control characters (a NUL among them) as "_"; empty when
    // nothing usable is left ("." or "..").
    static QString NameFromEncoded(const QByteArray& raw);
    // Whether path is written directly: a device, pipe or socket, or a descriptor named
    // under /proc or /dev/fd (/dev/stdout included); never a regular file elsewhere.
    static bool IsDevice(const QString& path);

    void Write(const char* data, qint64 size);
    // Moves to an offset of the output, to write pieces out of order (a file, not a device).
    void Seek(qint64 offset);
    // Completes the file; without it the destructor leaves any old file unchanged.
    void Commit();

private:
    [[noreturn]] void fail(const QString& what) const;
    [[noreturn]] void fail(const QString& what, const QFileDevice& file) const;

    QString m_path;
    QString m_target;
    QFileDevice::Permissions m_permissions;
    std::unique_ptr<QFileDevice> m_file;
    bool m_direct = false;
};
