#pragma once

#include "upload/NzbFile.h"

#include <QList>
#include <QString>

// The one NZB file of a batch. While articles of the batch are not known to be on the
// server it is "NAME.incomplete.nzb", so that nobody takes it for a finished post; a later
// run that gets further rewrites it in place, and once the batch is complete it becomes
// "NAME.nzb" and the incomplete file goes. Where the file is, is kept in a small record
// beside the batch's journal, so that a later process finds it.
class TBatchNzb
{
public:
    explicit TBatchNzb(QString recordPath) : m_record(std::move(recordPath)) {}

    // Writes the batch's NZB file of files, titled name, into folder. Returns the path
    // written (empty when nothing was); error holds what failed, also when the file was
    // written and only the record of it was not.
    QString Write(const QString& folder, const QString& name, const QList<TNzbFile>& files,
                  bool complete, QString* error) const;

private:
    // The file an earlier write of the batch left; empty when none is there.
    QString earlier() const;
    bool remember(const QString& path, QString* error) const;

    QString m_record;
};
