// A files.bbs catalog from a stranger, in a folder with a few files: every entry read names
// a file that exists, and reading never fails on a readable catalog.
#include "FuzzFiles.h"

#include "upload/FilesBbsCatalog.h"

#include <QFileInfo>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzFiles::Init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzFiles::FreshFolder();
    for (const char* name : {"a.jpg", "b c.zip",
                             "Gr\xc3\xbc\xc3\x9f"
                             "e.jpg",
                             "d"})
        FuzzFiles::Write(QString::fromUtf8(name), "x");
    const QString catalog =
        FuzzFiles::Write(QStringLiteral("files.bbs"), FuzzFiles::Bytes(data, size));
    QList<TFilesBbsCatalog::TEntry> entries;
    QString error;
    FuzzFiles::Check(TFilesBbsCatalog::Read(catalog, entries, &error),
                     "a readable catalog is read");
    for (const TFilesBbsCatalog::TEntry& entry : entries)
        FuzzFiles::Check(QFileInfo(entry.File).isFile() || QFileInfo(entry.File).isDir(),
                         "an entry names a file that exists");
    return 0;
}
