#include "upload/WatchLedger.h"

#include "base/SafeFile.h"

#include <QFile>

namespace {

// One line an item: "posted" or "pending", the signature and the path, separated by tabs;
// the path percent-encoded, so that any name fits on one line.
const QByteArray PendingWord = "pending";
const QByteArray PostedWord = "posted";

} // namespace

TWatchLedger::TWatchLedger(const QString& fileName) : m_fileName(fileName) {}

QString TWatchLedger::Load()
{
    m_entries.clear();
    QFile file(m_fileName);
    if (!file.exists())
        return QString();
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1: %2").arg(m_fileName, file.errorString());
    int number = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        ++number;
        if (line.trimmed().isEmpty())
            continue;
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 3 || (fields[0] != PendingWord && fields[0] != PostedWord))
            return QStringLiteral("%1, line %2: not a line this program wrote")
                .arg(m_fileName)
                .arg(number);
        m_entries << TEntry{fields[0] == PendingWord,
                            QString::fromUtf8(QByteArray::fromPercentEncoding(fields[2])),
                            QString::fromLatin1(fields[1])};
    }
    return QString();
}

bool TWatchLedger::contains(const TWatchItem& item, bool pending) const
{
    for (const TEntry& e : m_entries)
        if (e.Pending == pending && e.Path == item.Path && e.Signature == item.Signature)
            return true;
    return false;
}

bool TWatchLedger::IsPosted(const TWatchItem& item) const
{
    return contains(item, false);
}

bool TWatchLedger::IsPending(const TWatchItem& item) const
{
    return contains(item, true);
}

QString TWatchLedger::save(const QList<TEntry>& entries)
{
    QByteArray bytes;
    for (const TEntry& e : entries)
        bytes += (e.Pending ? PendingWord : PostedWord) + '\t' + e.Signature.toLatin1() + '\t' +
                 e.Path.toUtf8().toPercentEncoding("/ ") + '\n';
    const QString reason = TSafeFile::Replace(m_fileName, bytes);
    if (!reason.isEmpty())
        return QStringLiteral("cannot write %1: %2").arg(m_fileName, reason);
    m_entries = entries;
    return QString();
}

QString TWatchLedger::SetPending(const TWatchItem& item)
{
    QList<TEntry> entries = m_entries;
    entries << TEntry{true, item.Path, item.Signature};
    return save(entries);
}

QList<TWatchItem> TWatchLedger::PendingItems() const
{
    QList<TWatchItem> items;
    for (const TEntry& e : m_entries)
        if (e.Pending) {
            TWatchItem item = TWatchFolder::Describe(e.Path);
            item.Path = e.Path;
            item.Signature = e.Signature;
            items << item;
        }
    return items;
}

QString TWatchLedger::Posted(const TWatchItem& item, bool remember)
{
    QList<TEntry> entries;
    for (const TEntry& e : std::as_const(m_entries))
        if (!(e.Path == item.Path && e.Signature == item.Signature))
            entries << e;
    if (remember)
        entries << TEntry{false, item.Path, item.Signature};
    return save(entries);
}
