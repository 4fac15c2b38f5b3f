#pragma once

#include "article/ByteLines.h"
#include "tasks/Task.h"
#include "tasks/TaskList.h"
#include "upload/BatchCheck.h"
#include "upload/PostConnections.h"
#include "upload/UploadTaskFields.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QStringList>

#include <deque>
#include <memory>

struct TAppState;
class TBatchAccount;
class TByteSink;
class TFileAccount;
class TbcsNNTP;
class TNewsArticle;
class TTaskRunner;
class TUploadLines;
class TView;

// Ends the head upload task with a message (a file that cannot be read): the queue is saved.
// The upload poster, which owns the multipart poster, answers.
class TUploadFailure
{
public:
    virtual ~TUploadFailure() = default;
    virtual void FailTask(const QString& text) = 0;
    // The series of the task's file has ended: its next file (a recovery file) follows, or the
    // next task.
    virtual void FileEnded() = 0;
    // Every article of the upload left to post was taken in an earlier run: the task is done.
    virtual void AlreadyPosted() = 0;
    // Over several connections: the server took part, and done of the total parts are on
    // it now (those taken in an earlier run included).
    virtual void PartTaken(qint64 part, qint64 done, qint64 total) = 0;
    // Over several connections: the server refused a part; the series stops.
    virtual void PartRefused(int code, const QString& reason) = 0;
    // Over several connections: the server has every part; the file ends next.
    virtual void SeriesPosted() = 0;
    // Over several connections: a part refused as a duplicate was found on the server.
    virtual void TakenBefore(const QString& reason) = 0;
    // Over several connections: the server took a part of the file (of size bytes) of an
    // upload behind the head, done of its total parts so far.
    virtual void AheadPartTaken(const QString& path, qint64 size, qint64 done, qint64 total) = 0;
    // The file being posted is the task's last (no recovery file follows it).
    virtual bool LastFileOfTask() const = 0;
    // Where the reads of the task's file go as well, if anywhere (its recovery set).
    virtual std::shared_ptr<TByteSink> FileSink() = 0;
    // Parts of the uploads behind the head that were on their way were dropped (a connection
    // failed between tasks): those uploads go on from the journal when their turn comes.
    virtual void AheadDropped(const QString& text) = 0;
};

// Posts the head upload task's file as articles of at most MaxLines body lines each (a yEnc
// file: parts of MaxLines lines of 128 bytes each, framed as yEnc parts), every one with its
// own subject line ("%p" of "%t"). Fewer lines than MaxLines (one yEnc part) make one article
// whose result the posting handlers settle; more make a series in which part k + 1 is
// composed only when the server has answered 240 to part k, and which stops at the first
// part that is not accepted. Nothing waits inside a handler: the series continues from the
// posted event. The file is read as the parts are built: while the server stores part k,
// the lines of part k + 1 are read ahead, a slice per turn of the event loop so that the end
// of part k is not held up, and at most two parts are in memory.
//
// The include text opens the first article and the signature closes the last; the counts
// in the subject lines cover them.
//
// With Connections above one, the parts go over that many connections at once
// (TPostConnections): each part is composed when a connection is free, so that no more than
// one part per connection and the one read ahead are in memory. Parts may be taken in any
// order; the series ends when the server has all of them, and stops at the first refusal or
// failed connection, which drops the others.
//
// Once every part of the head's last file is on its way and a connection is free, the uploads
// behind it in the same batch start too (posting ahead), each a series of its own over the
// same connections, so that the connections are kept busy from one file to the next and a
// batch of small files goes over all of them. They stay in the list, and each still ends as a
// task when its turn as the head comes and the server has all its parts. Only uploads to the
// same server that make no recovery files and have nothing in the journal go ahead; the first
// that does not qualify waits for its turn, and so do those behind it. A part refused ahead
// stops its series, and is reported when its task is the head.
//
// A task that ran before goes on from its batch's journal: parts the server took are read
// past, not sent again, and parts sent without an answer seen are first asked for with STAT;
// those the server does not have go again with the Message-ID they had.
class TMultiPartPoster : public QObject
{
    Q_OBJECT
public:
    TMultiPartPoster(TNewsArticle& article, TbcsNNTP& client, TTaskList& list, TTaskRunner& runner,
                     TView& view, TAppState& state, TBatchAccount& account, TUploadFailure& failure,
                     QObject* parent = nullptr);
    ~TMultiPartPoster() override;

    // Starts posting the task (the head of the list, or a copy of it naming one of its
    // recovery files); returns at once. A task that was posted ahead goes on where it is.
    void DoMultiPart(const TTask& task);
    // The answer to the part in flight has come: accepted is true for 240. Called after
    // PartInFlight was cleared by the posting handlers.
    void PartAnswered(bool accepted);
    // The part in flight failed and the task is to be tried again: the series stops here.
    void Stop();
    // Whether a part answered so is followed by another: the series is still running.
    bool ContinuesAfter(bool accepted) const { return m_active && accepted && m_part < m_total; }

    // Where the series stands, for the window and for tests.
    bool Active() const { return m_active; }
    // Posting over several connections.
    bool Parallel() const { return m_parallel; }
    TPostConnections& Connections() { return m_connections; }
    qint64 Part() const { return m_part; }
    qint64 TotalParts() const { return m_total; }
    // How many uploads behind the head are being posted ahead.
    int AheadCount() const { return int(m_ahead.size()); }

private:
    // An upload behind the head being posted ahead.
    struct TAheadSeries
    {
        quint32 Id = 0;
        TTaskList::TTaskId TaskId = 0; // its task in the list
        TTask Task;
        UploadTaskFields::TUploadValues Upload;
        std::unique_ptr<TUploadLines> Lines; // none for a file posted whole
        qint64 FileSize = 0;
        std::unique_ptr<TFileAccount> Account;
        qint64 Part = 0; // parts sent
        qint64 Total = 0;
        QList<qint64> Accepted;
        int RefusedCode = 0;
        QString Refused; // the server's text for the first part refused
        QString Error;   // the file could not be read
    };

    // The task's file goes whole, in one article (MaxLines 0).
    static bool whole(const TTask& task) { return task.MaxLines < 1; }
    // The task's file opened to be read as its parts; none when it cannot be (error says why).
    static std::unique_ptr<TUploadLines> openLines(const UploadTaskFields::TUploadValues& upload,
                                                   QString& error);
    // A part's tag on the connections: its series and its number.
    static qint64 tag(quint32 series, qint64 part) { return (qint64(series) << 32) | part; }
    // Goes on with the series posted ahead for the head task, when there is one.
    bool adoptAhead();
    // Posts parts of the uploads behind the head while connections are free.
    void fillAhead();
    TAheadSeries* openAhead();
    bool mayGoAhead(const TTask& task, const UploadTaskFields::TUploadValues& upload) const;
    void sendAhead(TAheadSeries& series);
    void aheadAnswered(TAheadSeries& series, qint64 part, bool accepted, int code,
                       const QString& text);
    TAheadSeries* aheadSeries(quint32 id);
    // The task list's state of the series' task.
    void showAheadState(const TAheadSeries& series);
    // Drops the series posted ahead, with every part on its way.
    void dropAhead();
    void postSingle();
    // Asks for the parts sent before without an answer seen, then goes on.
    void confirmUnanswered();
    void unansweredChecked(const QStringList& found, const QString& error);
    void postPart();
    // Over several connections: the parts left go as connections come free.
    void startParallel();
    void fillConnections();
    void parallelAnswered(qint64 part, bool accepted, int code, const QString& text);
    void parallelFailed(const QString& text, int replyCode);
    // STAT's answer for the first part refused as a duplicate.
    void duplicateChecked(const QStringList& found, const QStringList& missing,
                          const QString& error);
    // The server has part: the series goes on, or ends when it was the last.
    void partTaken(qint64 part);
    // The task list's state of the task: how many of its parts the server has.
    void showPartsDone();
    // After the series: connections nothing more will be posted over are closed.
    void closeIdleConnections();
    // Reads past the parts the server took in an earlier run; false when that failed.
    bool skipTaken();
    // The current part's lines into the article (read ahead or read now).
    bool takeBody(TNewsArticle& article);
    void continueSeries();
    void finish(bool nextTask);
    // The current part's lines into the article, all of them.
    bool fillBody(TNewsArticle& article);
    // Up to lines more of the current part into body.
    bool readPart(TByteLines& body, qint64 lines);
    void readAhead();
    void readAheadSlice();
    void dropReadAhead();
    void prepareArticle(TNewsArticle& article, qint64 part, qint64 total);
    // The article's header lines for part of the task's file read by lines.
    void composeHeaders(TNewsArticle& article, const UploadTaskFields::TUploadValues& upload,
                        const TUploadLines& lines, const QString& messageId, qint64 part,
                        qint64 total) const;
    // The article is complete: its account records it as sent.
    void recordSent(const TNewsArticle& article);
    // The article carrying the task's file whole, composed and recorded as sent; none when
    // the file cannot be read (error says why).
    std::unique_ptr<TNewsArticle> wholeArticle(const TTask& task, TFileAccount& account,
                                               QString& error) const;
    static void recordSent(TFileAccount& account, const TNewsArticle& article, qint64 part,
                           qint64 total, std::pair<qint64, qint64> range, const QString& messageId);
    bool stillHeadTask() const;
    // Takes a copy: the text may belong to the line source that failing frees.
    void failTask(QString text);

    TNewsArticle& m_article;
    TbcsNNTP& m_client;
    TTaskList& m_list;
    TTaskRunner& m_runner;
    TView& m_view;
    TAppState& m_state;
    TBatchAccount& m_account;
    TUploadFailure& m_failure;
    QString m_messageId;                   // the article being posted
    std::pair<qint64, qint64> m_partRange; // the file's bytes it carries, when not yEnc
    TBatchCheck m_resumeCheck;
    // Parts refused as duplicates, asked for with STAT one after the other.
    struct TDuplicate
    {
        qint64 Part = 0;
        int Code = 0;
        QString Text;
        QString MessageId;
    };
    TBatchCheck m_duplicateCheck;
    std::deque<TDuplicate> m_duplicates;

    TTask m_task;
    UploadTaskFields::TUploadValues m_upload; // its fields, read once
    TTaskList::TTaskId m_headId = 0;          // the list's head it belongs to
    std::unique_ptr<TUploadLines> m_lines;
    TByteLines m_nextBody;   // the next part's lines, read while the server stores this one
    QTimer m_readAheadTimer; // reads the next slice of them
    bool m_readAhead = false;
    QString m_readAheadError;
    qint64 m_part = 0;
    qint64 m_total = 0;
    bool m_active = false;
    bool m_parallel = false;
    qint64 m_onServer = 0;  // parts the server has: taken before, or accepted in this run
    qint64 m_sentNow = 0;   // parts sent in this run
    quint32 m_seriesId = 0; // the head's series, on the connections
    quint32 m_nextSeriesId = 1;
    std::deque<std::unique_ptr<TAheadSeries>> m_ahead; // in the list's order
    bool m_aheadClosed = false;                        // the next upload cannot go ahead
    TPostConnections m_connections;
};
