#include "upload/BatchNzb.h"

#include "base/SafeFile.h"

#include <QFile>
#include <QFileInfo>

namespace {
const QString Complete = QStringLiteral(".nzb");
const QString Incomplete = QStringLiteral(".incomplete.nzb");
constexpr QFileDevice::Permissions Readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::ReadOther;
} // namespace

QString TBatchNzb::Write(const QString& folder, const QString& name, const QList<TNzbFile>& files,
                         bool complete, QString* error) const
{
    error->clear();
    const QByteArray document = NzbFile::Document(name, files);
    const QString before = earlier();
    // An incomplete file stays where it is until the batch is complete.
    if (!before.isEmpty() && (!complete || !before.endsWith(Incomplete))) {
        const QString reason = TSafeFile::Replace(before, document, Readable);
        if (reason.isEmpty())
            return before;
        *error = "Cannot write " + before + ": " + reason;
        return QString();
    }
    const QString path =
        NzbFile::WriteNew(folder, name, complete ? Complete : Incomplete, document, error);
    if (path.isEmpty())
        return path;
    if (remember(path, error) && !before.isEmpty() && !QFile::remove(before))
        *error = "Cannot remove " + before + " (the complete NZB file is " + path + ")";
    return path;
}

QString TBatchNzb::earlier() const
{
    QFile record(m_record);
    if (!record.open(QIODevice::ReadOnly))
        return QString();
    const QString path = QString::fromUtf8(record.readAll()).trimmed();
    return QFileInfo(path).isFile() ? path : QString();
}

bool TBatchNzb::remember(const QString& path, QString* error) const
{
    const QString reason = TSafeFile::Replace(m_record, path.toUtf8() + '\n');
    if (!reason.isEmpty())
        *error = "Cannot write " + m_record + ": " + reason;
    return reason.isEmpty();
}
