#include "cli/PostReport.h"

#include "cli/Terminal.h"
#include "cli/TerminalView.h"
#include "codec/LocalFile.h"
#include "tasks/TaskList.h"
#include "upload/BatchAccount.h"
#include "upload/UploadPoster.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

TPostReport::TPostReport(TUploadPoster& poster, TBatchAccount& account, TTaskList& list,
                         TTerminalView& view, const TTerminal& terminal, bool json, QObject* parent)
    : QObject(parent), m_view(view), m_terminal(terminal), m_json(json)
{
    connect(&poster, &TUploadPoster::FileStarted, this, &TPostReport::fileStarted);
    connect(&poster, &TUploadPoster::PartAccepted, this, &TPostReport::partAccepted);
    connect(&poster, &TUploadPoster::FileDone, this, &TPostReport::fileDone);
    connect(&poster, &TUploadPoster::BatchProgressChanged, this,
            [this](const TBatchProgressState& state) {
                m_state = state;
                m_view.ShowBatch(state);
            });
    connect(&list, &TTaskList::HeadFailed, this, &TPostReport::failed);
    connect(&account, &TBatchAccount::NzbWritten, this,
            [this](const QString& path) { m_nzbFiles << path; });
    connect(&account, &TBatchAccount::BatchEnded, this, &TPostReport::batchEnded);
}

bool TPostReport::plainLines() const
{
    return !m_view.ShowsProgress();
}

void TPostReport::write(const QString& event, QJsonObject fields) const
{
    if (!m_json)
        return;
    fields.insert(QStringLiteral("event"), event);
    m_terminal.Out(QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact)) + u'\n');
}

void TPostReport::fileStarted(const QString& path)
{
    m_file = path;
    if (plainLines())
        m_view.Note(QStringLiteral("Posting ") + TLocalFile::Shown(path));
    write(QStringLiteral("file_started"), {{QStringLiteral("file"), TLocalFile::Shown(path)}});
}

void TPostReport::partAccepted(const QString& path, qint64 part, qint64 parts)
{
    ++m_run.Parts;
    ++m_batch.Parts;
    emit Posted();
    write(QStringLiteral("part_accepted"), {{QStringLiteral("file"), TLocalFile::Shown(path)},
                                            {QStringLiteral("part"), part},
                                            {QStringLiteral("parts"), parts},
                                            {QStringLiteral("batch_bytes_done"), m_state.Done},
                                            {QStringLiteral("batch_bytes_total"), m_state.Total}});
}

void TPostReport::fileDone(const QString& path, qint64 parts)
{
    m_file.clear();
    ++m_run.FilesPosted;
    ++m_batch.FilesPosted;
    if (plainLines())
        m_view.Note(
            QStringLiteral("Posted %1: %2 part(s)").arg(TLocalFile::Shown(path)).arg(parts));
    write(QStringLiteral("file_ended"), {{QStringLiteral("file"), TLocalFile::Shown(path)},
                                         {QStringLiteral("result"), QStringLiteral("posted")},
                                         {QStringLiteral("parts"), parts}});
}

void TPostReport::failed(const QString& reason)
{
    // The error line itself is the view's; here the event is counted and told to scripts.
    ++m_run.FilesFailed;
    ++m_batch.FilesFailed;
    write(QStringLiteral("file_ended"),
          {{QStringLiteral("file"), m_file.isEmpty() ? QJsonValue() : QJsonValue(m_file)},
           {QStringLiteral("result"), QStringLiteral("failed")},
           {QStringLiteral("reason"), reason}});
    m_file.clear();
}

void TPostReport::batchEnded(const QString& nzb, int missing)
{
    write(QStringLiteral("batch_summary"),
          {{QStringLiteral("nzb"), nzb.isEmpty() ? QJsonValue() : QJsonValue(nzb)},
           {QStringLiteral("files_posted"), m_batch.FilesPosted},
           {QStringLiteral("files_failed"), m_batch.FilesFailed},
           {QStringLiteral("parts_accepted"), m_batch.Parts},
           {QStringLiteral("articles_missing"), missing}});
    m_batch = {};
}

void TPostReport::Finish(int status)
{
    write(QStringLiteral("run_ended"),
          {{QStringLiteral("exit_status"), status},
           {QStringLiteral("files_posted"), m_run.FilesPosted},
           {QStringLiteral("files_failed"), m_run.FilesFailed},
           {QStringLiteral("parts_accepted"), m_run.Parts},
           {QStringLiteral("bytes_posted"), m_state.Done},
           {QStringLiteral("nzb"), QJsonArray::fromStringList(m_nzbFiles)}});
}
