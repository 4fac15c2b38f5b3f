#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <vector>

class QFile;

// One record of the newsrc file as stored: the name's bytes, the count and the state flag.
struct TNewsrcRecord
{
    QByteArray Name;
    qint32 Count = 0;
    quint8 Flag = 0;
};

// The binary newsrc file: fixed 81-byte records (76-byte NUL-ended name, little-endian
// 32-bit count at byte 76, flag at byte 80), no header. Every operation opens and closes
// the file itself and reports a failure as a text naming the file and the reason; the
// file is left as it was or whole.
class TNewsrcFile
{
public:
    static constexpr int RecordSize = 81;
    static constexpr int NameSize = 76;
    static constexpr int CountOffset = 76;
    static constexpr int FlagOffset = 80;
    // Names this long or longer are never written.
    static constexpr int NameLimit = 75;

    enum : quint8
    {
        FlagSubscribed = 0,
        FlagUnsubscribed = 1,
        FlagNew = 2,
    };

    explicit TNewsrcFile(const QString& path) : m_path(path) {}

    QString Path() const { return m_path; }
    bool Exists() const;

    static bool NameFits(const QByteArray& name) { return name.size() < NameLimit; }
    static bool NameFits(QStringView name);
    // Adds one encoded record to buffer. New names are checked with NameFits first; a name
    // read back from a file is kept whole, up to the field's 76 bytes.
    static void AppendRecord(QByteArray& buffer, const QByteArray& name, qint32 count, quint8 flag);
    // The same for a name kept as its bytes, one character per byte (see GroupName).
    static void AppendRecord(QByteArray& buffer, QStringView name, qint32 count, quint8 flag);
    static TNewsrcRecord DecodeRecord(const char* data);

    // Every whole record in file order. trailingBytes receives the size of an incomplete
    // record at the end (0 for a sound file).
    bool ReadAll(std::vector<TNewsrcRecord>& records, qint64& trailingBytes, QString& error) const;

    // Replaces the whole file by the encoded records: a new file renamed over the old.
    bool Replace(const QByteArray& encodedRecords, QString& error) const;

    // Appends encoded records after the last whole record (cutting off an incomplete
    // one first). firstRecordNo receives the number of the first appended record. On a
    // failed write the file is cut back to its whole records.
    bool Append(const QByteArray& encodedRecords, qint32& firstRecordNo, QString& error) const;

    // Rewrites the flag of each given record: one record in place, several by replacing the
    // file whole, so that a kill leaves all of them changed or none.
    bool PatchFlags(const QList<qint32>& recordNos, quint8 flag, QString& error) const;
    // Rewrites the count of each given record (record number, new count), as PatchFlags.
    bool PatchCounts(const QList<QPair<qint32, qint32>>& counts, QString& error) const;

private:
    struct TPatch
    {
        qint32 RecordNo;
        QByteArray Bytes;
    };
    QString describe(const QString& action, const QString& reason) const;
    bool openForUpdate(QFile& file, QString& error) const;
    bool patch(const QList<TPatch>& patches, int offset, QString& error) const;
    bool patchWhole(QFile& file, const QList<TPatch>& patches, int offset, QString& error) const;

    QString m_path;
};
