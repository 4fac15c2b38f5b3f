#include "upload/RecoveryFiles.h"

#include "base/AppState.h"
#include "base/CommaText.h"
#include "base/Logger.h"
#include "base/View.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"
#include "upload/BatchAccount.h"
#include "upload/RecoverySetting.h"
#include "upload/UploadTaskFields.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {

// Written beside a set once it has been made whole: the file and setting it was made for, then
// the set's file names, one a line.
const char* const DoneMarkName = "set.done";

} // namespace

TRecoveryFiles::TRecoveryFiles(TAppState& state, TTaskList& list, TTaskRunner& runner, TView& view,
                               TLogger& logger, TBatchAccount& account, TRecoveryTarget& target,
                               QObject* parent)
    : QObject(parent), m_state(state), m_list(list), m_runner(runner), m_view(view),
      m_logger(logger), m_account(account), m_target(target)
{
    connect(&m_maker, &TPar2Maker::Progress, this, &TRecoveryFiles::progress);
    connect(&m_maker, &TPar2Maker::Finished, this, &TRecoveryFiles::made);
}

TRecoveryFiles::~TRecoveryFiles()
{
    Stop();
}

QString TRecoveryFiles::FolderFor(const TTask& task) const
{
    // The same task finds the same folder when it runs again; tasks of one file for several
    // groups do not share one.
    const TUploadFields<const TTask> upload = UploadFields(task);
    const QByteArray key = (upload.Path + '\n' + upload.Groups).toUtf8();
    const QString hash = QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16);
    const QString batch = upload.Batch.isEmpty() ? QStringLiteral("task") : upload.Batch;
    return m_state.DataFile(QStringLiteral("recovery/%1-%2").arg(batch, hash));
}

void TRecoveryFiles::Begin(const TTask& task)
{
    Stop();
    const QString field = UploadFields(task).Recovery;
    QString error;
    const std::optional<TRecoverySetting> setting = TRecoverySetting::Read(field, &error);
    if (!setting) {
        m_target.FailTask(error);
        return;
    }
    if (!setting->IsSet()) {
        m_target.PostTaskFile(task);
        return;
    }
    m_task = task;
    m_taskId = m_list.HeadId();
    m_setting = field;
    m_folder = FolderFor(task);
    if (reuse()) {
        m_logger.LogIt(QStringLiteral("Recovery files of %1 are still in %2: posted as they are")
                           .arg(UploadFields(task).Path, m_folder));
        m_target.PostTaskFile(task);
        return;
    }
    QDir(m_folder).removeRecursively(); // what an earlier run left unfinished
    m_making = true;
    m_maker.Start({UploadFields(task).Path, m_folder, setting->Percent, setting->FileCount,
                   qint64(setting->FileMB) << 20, qint64(m_state.Settings.Par2MemoryMB) << 20,
                   true});
    if (!m_maker.IsRunning()) // it could not begin, and the task has failed
        return;
    m_posting = true;
    m_target.PostTaskFile(task);
    m_maker.DropFeed(); // the file is not read in a way that feeds the making
}

void TRecoveryFiles::progress(int percent, const QString& text)
{
    // The bar shows the file's own progress while it is posted.
    if (m_waiting)
        m_view.SetProgress(percent);
    m_runner.SetStatus(QStringLiteral("%1 %2%").arg(text).arg(percent));
}

void TRecoveryFiles::made(bool ok, QString error)
{
    m_making = false;
    if (!ok && m_posting) // the file's articles have gone, or are going
        error = QStringLiteral("The file %1 was posted, but its recovery files could not be "
                               "made: %2")
                    .arg(UploadFields(std::as_const(m_task)).Path, error);
    if (!ok && m_posting && !m_waiting) {
        m_error = error; // told once the file is through
        return;
    }
    if (!ok) {
        Stop();
        m_target.FailTask(error);
        return;
    }
    if (!stillHeadTask()) { // cleared while the set was made
        Stop();
        return;
    }
    m_files = m_maker.Files();
    m_next = 0;
    if (!m_maker.Note().isEmpty())
        m_logger.LogIt(m_maker.Note());
    writeDoneMark();
    const QString path = UploadFields(std::as_const(m_task)).Path;
    const qint64 size = QFileInfo(path).size();
    const qint64 fed = m_maker.FedBytes();
    const QString source = fed >= size ? QStringLiteral("from the bytes posted")
                           : fed > 0   ? QStringLiteral("from the first %1 bytes posted, the "
                                                          "rest read again")
                                           .arg(fed)
                                     : QStringLiteral("from a read of its own");
    m_logger.LogIt(QStringLiteral("Recovery files of %1 made %2: %3 files in %4")
                       .arg(path, source)
                       .arg(m_files.size())
                       .arg(m_folder));
    if (m_waiting) {
        m_waiting = false;
        m_view.SetProgress(0);
        postNext();
    }
}

bool TRecoveryFiles::PostNext()
{
    if (!HasNext())
        return false;
    if (!m_error.isEmpty()) {
        QTimer::singleShot(0, this, [this, error = m_error] {
            Stop();
            m_target.FailTask(error);
        });
        m_error.clear();
        return true;
    }
    if (m_making) { // the file went faster than its set: the set's progress is shown now
        m_waiting = true;
        progress(0, QStringLiteral("Creating recovery files"));
        return true;
    }
    QTimer::singleShot(0, this, &TRecoveryFiles::postNext);
    return true;
}

void TRecoveryFiles::postNext()
{
    if (!HasNext() || !stillHeadTask()) {
        Stop();
        return;
    }
    const QString path = m_files.at(m_next++);
    const UploadTaskFields::TSubjectParts subject = UploadTaskFields::SubjectParts(m_task);
    TTask fileTask = m_task;
    const TUploadFields<TTask> upload = UploadFields(fileTask);
    upload.Path = path;
    upload.SubjectParts = CommaText::Write({subject.Template, subject.Subject, path});
    // The include text opens the file's first article and the signature closes its last.
    upload.IncludeText.clear();
    upload.SignatureFile.clear();
    upload.Recovery.clear();
    m_account.BeginFile(path);
    m_target.PostTaskFile(fileTask);
}

void TRecoveryFiles::Stop()
{
    m_maker.Cancel();
    m_files.clear();
    m_next = 0;
    m_making = m_posting = m_waiting = false;
    m_error.clear();
    m_task = TTask();
    m_taskId = 0;
    if (m_folder.isEmpty())
        return;
    const QString folder = m_folder;
    m_folder.clear();
    if (!QDir(folder).removeRecursively())
        m_logger.LogIt(QStringLiteral("Warning: cannot remove the recovery files in ") + folder);
    QDir().rmdir(QFileInfo(folder).path()); // "recovery", when it is empty now
}

bool TRecoveryFiles::stillHeadTask() const
{
    return !m_list.IsEmpty() && m_list.HeadId() == m_taskId;
}

QString TRecoveryFiles::doneMark() const
{
    const QFileInfo file(UploadFields(m_task).Path);
    return CommaText::Write({QString::number(file.size()),
                             QString::number(file.lastModified().toMSecsSinceEpoch()), m_setting});
}

bool TRecoveryFiles::reuse()
{
    QFile mark(QDir(m_folder).filePath(QLatin1String(DoneMarkName)));
    if (!mark.open(QIODevice::ReadOnly))
        return false;
    QStringList lines = QString::fromUtf8(mark.readAll()).split(u'\n', Qt::SkipEmptyParts);
    if (lines.size() < 2 || lines.takeFirst() != doneMark())
        return false;
    QStringList files;
    for (const QString& name : std::as_const(lines)) {
        const QString path = QDir(m_folder).filePath(name);
        if (name.contains(u'/') || !QFileInfo(path).isFile())
            return false;
        files << path;
    }
    m_files = files;
    m_next = 0;
    return true;
}

void TRecoveryFiles::writeDoneMark()
{
    QStringList lines = {doneMark()};
    for (const QString& path : std::as_const(m_files))
        lines << QFileInfo(path).fileName();
    const QByteArray text = lines.join(u'\n').toUtf8() + '\n';
    QFile mark(QDir(m_folder).filePath(QLatin1String(DoneMarkName)));
    // Without the mark the set is made again when the task runs again: nothing is lost.
    if (!mark.open(QIODevice::WriteOnly) || mark.write(text) != text.size() || !mark.flush())
        m_logger.LogIt(QStringLiteral("Warning: cannot write ") + mark.fileName() +
                       QStringLiteral(": ") + mark.errorString());
}
