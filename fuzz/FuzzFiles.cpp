#include "FuzzFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace FuzzFiles {
namespace {

QString scratchRoot()
{
    static const QString root = [] {
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                                       : QDir::tempPath();
        const QString path =
            QStringLiteral("%1/quorvel-fuzz-%2").arg(base).arg(QCoreApplication::applicationPid());
        QDir().mkpath(path);
        return path;
    }();
    return root;
}

void removeScratch()
{
    QDir(scratchRoot()).removeRecursively();
}

} // namespace

void Init(int* argc, char*** argv)
{
    // Never destroyed: at exit Qt's own globals may already be gone.
    static QCoreApplication* app = nullptr;
    if (!app)
        app = new QCoreApplication(*argc, *argv);
    scratchRoot();
    std::atexit(removeScratch);
}

QString FreshFolder()
{
    QDir dir(scratchRoot());
    for (const QString& entry :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString path = dir.filePath(entry);
        if (!QFile::remove(path))
            QDir(path).removeRecursively();
    }
    return dir.path();
}

QString Write(const QString& name, const QByteArray& data)
{
    const QString path = QDir(scratchRoot()).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::abort();
    }
    return path;
}

QByteArray Bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

void Check(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "property does not hold: %s\n", what);
    std::abort();
}

} // namespace FuzzFiles
