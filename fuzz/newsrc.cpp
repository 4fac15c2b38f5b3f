// The newsrc file (fixed binary records) and the import of a newsrc text file. The first
// byte picks which: records read from the file encode back to the bytes they came from;
// an imported line's name and flag make a record that decodes to them.
#include "FuzzFiles.h"

#include "groups/GroupListOperations.h"
#include "groups/NewsrcFile.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzFiles::Init(argc, argv);
    return 0;
}

namespace {

void readFile(const QByteArray& bytes)
{
    FuzzFiles::FreshFolder();
    const TNewsrcFile file(FuzzFiles::Write(QStringLiteral("newsrc.Default"), bytes));
    std::vector<TNewsrcRecord> records;
    qint64 trailing = -1;
    QString error;
    FuzzFiles::Check(file.ReadAll(records, trailing, error), "a readable newsrc is read");
    FuzzFiles::Check(qint64(records.size()) * TNewsrcFile::RecordSize + trailing == bytes.size(),
                     "whole records and the trailing bytes make the file");
    for (size_t i = 0; i < records.size(); ++i) {
        const TNewsrcRecord& r = records[i];
        QByteArray encoded;
        TNewsrcFile::AppendRecord(encoded, r.Name, r.Count, r.Flag);
        FuzzFiles::Check(encoded.size() == TNewsrcFile::RecordSize, "a record is 81 bytes");
        const TNewsrcRecord back = TNewsrcFile::DecodeRecord(encoded.constData());
        FuzzFiles::Check(back.Name == r.Name && back.Count == r.Count && back.Flag == r.Flag,
                         "a record read encodes back to the same record");
    }
}

void importText(const QByteArray& bytes)
{
    for (const QByteArray& line : bytes.split('\n')) {
        QByteArray name;
        quint8 flag = 0xFF;
        if (!TGroupListOperations::ParseImportLine(line, name, flag))
            continue;
        FuzzFiles::Check(!name.isEmpty() && TNewsrcFile::NameFits(name) && flag <= 2,
                         "an imported line gives a name that fits and a known flag");
        QByteArray encoded;
        TNewsrcFile::AppendRecord(encoded, name, 0, flag);
        const TNewsrcRecord back = TNewsrcFile::DecodeRecord(encoded.constData());
        // The stored name ends at its first NUL.
        const qsizetype nul = name.indexOf('\0');
        FuzzFiles::Check(back.Name == (nul < 0 ? name : name.left(nul)) && back.Flag == flag,
                         "an imported name is stored as read");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes = FuzzFiles::Bytes(data + 1, size - 1);
    if (data[0] & 1)
        importText(bytes);
    else
        readFile(bytes);
    return 0;
}
