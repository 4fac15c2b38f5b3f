#pragma once

#include <QString>

struct TTask;
class TFileAccount;
class TNewsArticle;

// Sets article up to carry the upload task's file whole, in one article with the given
// Message-ID: its headers, the include text before the file and the file attached, which
// Compose encodes as the article is sent. The article is cleared first.
void SetUpWholeFileArticle(TNewsArticle& article, const TTask& task, const QString& messageId,
                           const QString& fallbackCharset);
// Records such an article of the file at path as sent: it carries the whole file, and its size
// is counted as the file's.
void RecordWholeFileSent(TFileAccount& account, const QString& path, const QString& messageId,
                         const QString& subject);
