#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QSaveFile>
#include <QString>

// Replaces a file whole or not at all: the bytes go to a new file beside it, which is
// renamed over the old one only after every write and the flush succeeded. Any failure
// leaves the old file as it was and yields the reason.
//
// QSaveFile alone is not enough: it buffers small files, sees a full disk only when the
// buffer is flushed at commit, and renames the short file over the old one all the same.
class TSafeFile
{
public:
    explicit TSafeFile(const QString& fileName);
    ~TSafeFile();

    // Creates the new file; permissions, when given, are set before anything is written.
    bool Open(QFileDevice::Permissions permissions = {});
    // Appends bytes; after a failure the later writes do nothing.
    bool Write(const QByteArray& bytes);
    // Flushes, checks and renames; on any failure the new file is removed.
    bool Commit();
    // Drops the new file; the old one stays.
    void Cancel();

    // Why the last step failed, empty when none did.
    QString ErrorText() const { return m_error; }

    // Open, Write and Commit in one; returns the reason of a failure, empty on success.
    static QString Replace(const QString& fileName, const QByteArray& bytes,
                           QFileDevice::Permissions permissions = {});

    // Makes folder and the folders above it as needed; returns why that failed ("Cannot make
    // the folder F: P is not a folder"), empty on success.
    static QString MakeFolder(const QString& folder);

    // Removes the new files that replacing fileName left behind when the program was killed
    // before renaming or removing them (fileName.XXXXXX), unless one was written to within
    // the last minutes: another run may be saving it now. Returns how many went.
    static int RemoveLeftovers(const QString& fileName);

private:
    bool failed();

    QSaveFile m_file;
    QString m_error;
};
