#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A file whose name may not be UTF-8. File names are bytes on Linux; Qt decodes them as UTF-8
// and cannot open a name it had to decode with replacement characters ("caf\xe9.bin" under a
// UTF-8 locale). FromBytes decodes such a name reversibly: every byte that is no part of a
// UTF-8 character becomes a private-use character, U+F780 to U+F7FF, which survives every
// UTF-8 text the name is kept in (the task file, the journal). TLocalFile opens by the bytes
// again, and Shown gives the name to show, with U+FFFD for each such byte.
class TLocalFile : public QFile
{
public:
    TLocalFile() = default;
    explicit TLocalFile(const QString& name) : QFile(name) {}

    bool open(OpenMode mode) override;

    static QString FromBytes(const QByteArray& bytes);
    static QByteArray ToBytes(const QString& name);
    static QString Shown(const QString& name);
    // Whether the name holds bytes that are no UTF-8 (then QFile and QFileInfo miss it).
    static bool HasRawBytes(const QString& name);

    // What the system says of the file behind name (links followed).
    struct TInfo
    {
        bool Exists = false;
        bool IsFile = false;
        bool Readable = false;
        qint64 Size = 0;
    };
    static TInfo Info(const QString& name);

    // The name of the file a view shows as path: Qt's own views and dialogs decode a name that
    // is not UTF-8 with replacement characters, which opens nothing. Where path names no file
    // and one entry of its folder (read by the bytes) decodes to it, that entry, decoded
    // reversibly; otherwise path as it is.
    static QString FromShown(const QString& path);

private:
    QString m_name;
};
