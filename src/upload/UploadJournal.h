#pragma once

#include "base/SyncPacer.h"
#include "upload/JournalContent.h"

#include <QString>

#include <optional>

// The record of a batch's uploads, one line per change, appended as the batch runs: a file
// line as each file starts posting, an article line as each article is sent and answered.
// The file is forced to disk at most every two seconds as records are written (TSyncPacer:
// SyncSoon) and whenever Sync is called (a task that stops, the batch's end), so a power loss
// costs at most the last seconds of records and never the file; a killed process loses none. What
// it holds is kept in memory as it is read at Open and written, so that a task's start never
// reads the file again.
//
// Lines are comma text: "file", file, groups, size, modified, hash, task; "part", file, part,
// total, begin, end, bytes, Message-ID, state, subject, groups, poster, date; "check", date,
// server, articles, missing (a reader before checks were recorded passes over them). In these a
// backslash and every control character (a line break in a file name) are written as \xHH.
// "article" lines, written before, have the fields of "part" lines unescaped, and are read as
// they are.
class TUploadJournal
{
public:
    TUploadJournal() = default;
    ~TUploadJournal();
    TUploadJournal(const TUploadJournal&) = delete;
    TUploadJournal& operator=(const TUploadJournal&) = delete;

    // Reads what the journal holds and opens it for appending, creating it when new.
    bool Open(const QString& path, QString* error);
    bool IsOpen() const { return m_fd >= 0; }
    QString Path() const { return m_path; }
    bool Record(const TJournalArticle& article, QString* error);
    bool Record(const TJournalFile& file, QString* error);
    bool Record(const TJournalCheck& check, QString* error);
    // What the journal holds, those records that failed to be written included.
    const TJournalContent& Content() const { return m_content; }
    // Forces the file to disk now.
    bool Sync(QString* error);
    // Forces it to disk unless it was within the last interval.
    bool SyncSoon(QString* error);
    void Close();

    // What the journal at path holds; a torn line (a crash while it was written) is left out.
    static std::optional<TJournalContent> Read(const QString& path, QString* error);
    static QString StateName(TArticleState state);

private:
    bool append(const QString& line, QString* error);

    int m_fd = -1;
    QString m_path;
    TSyncPacer m_pacer;
    TJournalContent m_content;
};
