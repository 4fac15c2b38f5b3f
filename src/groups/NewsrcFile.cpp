#include "groups/NewsrcFile.h"

#include "article/GroupName.h"
#include "base/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

bool TNewsrcFile::Exists() const
{
    return QFileInfo::exists(m_path);
}

void TNewsrcFile::AppendRecord(QByteArray& buffer, const QByteArray& name, qint32 count,
                               quint8 flag)
{
    const qsizetype start = buffer.size();
    buffer.resize(start + RecordSize, '\0');
    char* record = buffer.data() + start;
    // A name read from a record that filled the whole field is written back as it was.
    memcpy(record, name.constData(), size_t(qMin<qsizetype>(name.size(), NameSize)));
    qToLittleEndian<qint32>(count, record + CountOffset);
    record[FlagOffset] = char(flag);
}

void TNewsrcFile::AppendRecord(QByteArray& buffer, QStringView name, qint32 count, quint8 flag)
{
    // Straight into the buffer: a temporary byte array per name would cost more than the
    // rest of saving a long list.
    const qsizetype start = buffer.size();
    buffer.resize(start + RecordSize, '\0');
    char* record = buffer.data() + start;
    const qsizetype length = qMin<qsizetype>(name.size(), NameSize);
    bool bytesOnly = true;
    for (qsizetype i = 0; i < length && bytesOnly; ++i) {
        const char16_t c = name[i].unicode();
        bytesOnly = c < 0x100;
        record[i] = char(c);
    }
    if (!bytesOnly) {
        const QByteArray bytes = GroupName::ToBytes(name);
        memcpy(record, bytes.constData(), size_t(qMin<qsizetype>(bytes.size(), NameSize)));
    }
    qToLittleEndian<qint32>(count, record + CountOffset);
    record[FlagOffset] = char(flag);
}

bool TNewsrcFile::NameFits(QStringView name)
{
    for (const QChar c : name)
        if (c.unicode() >= 0x100)
            return GroupName::ToBytes(name).size() < NameLimit;
    return name.size() < NameLimit;
}

TNewsrcRecord TNewsrcFile::DecodeRecord(const char* data)
{
    TNewsrcRecord record;
    record.Name = QByteArray(data, qstrnlen(data, NameSize));
    record.Count = qFromLittleEndian<qint32>(data + CountOffset);
    record.Flag = quint8(data[FlagOffset]);
    return record;
}

QString TNewsrcFile::describe(const QString& action, const QString& reason) const
{
    return QStringLiteral("Cannot %1 the newsrc file %2: %3")
        .arg(action, QDir::toNativeSeparators(m_path), reason);
}

bool TNewsrcFile::ReadAll(std::vector<TNewsrcRecord>& records, qint64& trailingBytes,
                          QString& error) const
{
    records.clear();
    trailingBytes = 0;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = describe(QStringLiteral("open"), file.errorString());
        return false;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = describe(QStringLiteral("read"), file.errorString());
        return false;
    }
    const qsizetype whole = data.size() / RecordSize;
    trailingBytes = data.size() - whole * RecordSize;
    records.reserve(size_t(whole));
    for (qsizetype i = 0; i < whole; ++i)
        records.push_back(DecodeRecord(data.constData() + i * RecordSize));
    return true;
}

bool TNewsrcFile::Replace(const QByteArray& encodedRecords, QString& error) const
{
    const QString reason = TSafeFile::Replace(m_path, encodedRecords);
    if (!reason.isEmpty()) {
        error = describe(QStringLiteral("write"), reason);
        return false;
    }
    return true;
}

bool TNewsrcFile::openForUpdate(QFile& file, QString& error) const
{
    // Updating in place never creates the file: a missing one means the store was removed.
    if (!file.exists()) {
        error = describe(QStringLiteral("open"), QStringLiteral("The file does not exist"));
        return false;
    }
    if (!file.open(QIODevice::ReadWrite)) {
        error = describe(QStringLiteral("open"), file.errorString());
        return false;
    }
    return true;
}

bool TNewsrcFile::Append(const QByteArray& encodedRecords, qint32& firstRecordNo,
                         QString& error) const
{
    QFile file(m_path);
    if (!openForUpdate(file, error))
        return false;
    const qint64 whole = file.size() / RecordSize * RecordSize;
    // A torn last record would shift every appended record off the record grid.
    if (whole != file.size() && !file.resize(whole)) {
        error = describe(QStringLiteral("repair"), file.errorString());
        return false;
    }
    firstRecordNo = qint32(whole / RecordSize);
    if (!file.seek(whole) || file.write(encodedRecords) != encodedRecords.size() || !file.flush()) {
        error = describe(QStringLiteral("write"), file.errorString());
        file.resize(whole);
        return false;
    }
    return true;
}

bool TNewsrcFile::patch(const QList<TPatch>& patches, int offset, QString& error) const
{
    QFile file(m_path);
    if (!openForUpdate(file, error))
        return false;
    const qint64 records = file.size() / RecordSize;
    // Never grow the file: a record number past its end means memory and file disagree.
    // Checked before the first write so a refused batch changes nothing.
    for (const TPatch& p : patches) {
        if (p.RecordNo < 0 || p.RecordNo >= records) {
            error = describe(QStringLiteral("update"),
                             QStringLiteral("record %1 does not exist").arg(p.RecordNo));
            return false;
        }
    }
    if (patches.size() > 1)
        return patchWhole(file, patches, offset, error);
    // One record's field: a single small write, which a kill cannot cut in two.
    for (const TPatch& p : patches) {
        if (!file.seek(qint64(p.RecordNo) * RecordSize + offset) ||
            file.write(p.Bytes) != p.Bytes.size()) {
            error = describe(QStringLiteral("write"), file.errorString());
            return false;
        }
    }
    if (!file.flush()) {
        error = describe(QStringLiteral("write"), file.errorString());
        return false;
    }
    return true;
}

bool TNewsrcFile::patchWhole(QFile& file, const QList<TPatch>& patches, int offset,
                             QString& error) const
{
    // Several records written in place could be cut between two of them by a kill, leaving
    // some changed and some not: the changed file replaces the old one whole instead.
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = describe(QStringLiteral("read"), file.errorString());
        return false;
    }
    file.close();
    for (const TPatch& p : patches)
        data.replace(qint64(p.RecordNo) * RecordSize + offset, p.Bytes.size(), p.Bytes);
    return Replace(data, error);
}

bool TNewsrcFile::PatchFlags(const QList<qint32>& recordNos, quint8 flag, QString& error) const
{
    QList<TPatch> patches;
    patches.reserve(recordNos.size());
    for (qint32 no : recordNos)
        patches.append({no, QByteArray(1, char(flag))});
    return patch(patches, FlagOffset, error);
}

bool TNewsrcFile::PatchCounts(const QList<QPair<qint32, qint32>>& counts, QString& error) const
{
    QList<TPatch> patches;
    patches.reserve(counts.size());
    for (const auto& [no, count] : counts) {
        QByteArray bytes(4, '\0');
        qToLittleEndian<qint32>(count, bytes.data());
        patches.append({no, bytes});
    }
    return patch(patches, CountOffset, error);
}
