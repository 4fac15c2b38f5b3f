#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What became of one article of an upload.
enum class TArticleState
{
    Sent,     // handed to the server, no answer seen yet
    Accepted, // the server answered 240
    Checked,  // found on the server afterwards (STAT 223)
    Missing,  // not found when checked
};

struct TJournalArticle
{
    QString File;     // the posted file's path
    int Part = 0;     // 1-based
    int Total = 0;    // parts of the file
    qint64 Begin = 0; // the file's bytes the article carries: Begin..End, 1-based, inclusive
    qint64 End = 0;
    qint64 Bytes = 0; // the article's size on the wire
    QString MessageId;
    TArticleState State = TArticleState::Sent;
    QString Subject;
    QStringList Groups;
    QString Poster;
    qint64 Date = 0; // Unix time it was sent

    bool operator==(const TJournalArticle&) const = default;
};

// The record of a batch's articles, one line per change, appended as the batch runs. The
// file is forced to disk at least every few seconds and whenever Sync is called (at each
// task's end), so a crash loses at most the last seconds of records and never the file. Lines
// are comma text: "article", file, part, total, begin, end, bytes, Message-ID, state,
// subject, groups, poster, date. A later line for the same file, groups and part replaces an
// earlier.
class TUploadJournal
{
public:
    TUploadJournal() = default;
    ~TUploadJournal();
    TUploadJournal(const TUploadJournal&) = delete;
    TUploadJournal& operator=(const TUploadJournal&) = delete;

    // Opens the journal for appending, creating it when new.
    bool Open(const QString& path, QString* error);
    bool IsOpen() const { return m_fd >= 0; }
    QString Path() const { return m_path; }
    bool Record(const TJournalArticle& article, QString* error);
    bool Sync(QString* error);
    void Close();

    // The latest state of every article in the journal, by file (in the order first seen)
    // and part; a torn last line (a crash while it was written) is left out.
    static std::optional<QList<TJournalArticle>> Read(const QString& path, QString* error);
    static QString StateName(TArticleState state);

private:
    int m_fd = -1;
    QString m_path;
    QElapsedTimer m_sinceSync;
};
