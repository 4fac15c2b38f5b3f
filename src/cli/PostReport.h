#pragma once

#include "upload/BatchProgress.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QJsonObject;
class TBatchAccount;
class TTaskList;
class TTerminal;
class TTerminalView;
class TUploadPoster;

// What a run of uploads tells beyond the progress: without a terminal a line for each file
// started and posted ("Posting FILE", "Posted FILE: N part(s)"; a failure has its error
// line already), and with --json one JSON object a line on standard output for each event:
// a file started, a part accepted, a file ended (posted or failed), a batch's summary with
// its NZB file, and the run's end with its exit status.
class TPostReport : public QObject
{
    Q_OBJECT
public:
    TPostReport(TUploadPoster& poster, TBatchAccount& account, TTaskList& list, TTerminalView& view,
                const TTerminal& terminal, bool json, QObject* parent = nullptr);

    // The run ends with that exit status.
    void Finish(int status);

signals:
    // The server took an article.
    void Posted();

private:
    void fileStarted(const QString& path);
    void partAccepted(const QString& path, qint64 part, qint64 parts);
    void fileDone(const QString& path, qint64 parts);
    void failed(const QString& reason);
    // A batch is through: a summary with its NZB file and the articles still missing.
    void batchEnded(const QString& nzb, int missing);
    void write(const QString& event, QJsonObject fields) const;
    // Plain lines go where nothing is drawn in place.
    bool plainLines() const;

    TTerminalView& m_view;
    const TTerminal& m_terminal;
    const bool m_json;
    TBatchProgressState m_state;
    QString m_file; // started and not ended yet
    struct TCounts
    {
        int FilesPosted = 0;
        int FilesFailed = 0;
        qint64 Parts = 0;
    };
    TCounts m_run;
    TCounts m_batch; // since the last NZB file
    QStringList m_nzbFiles;
};
