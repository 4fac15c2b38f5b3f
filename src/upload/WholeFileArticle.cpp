#include "upload/WholeFileArticle.h"

#include "article/NewsArticle.h"
#include "codec/LocalFile.h"
#include "tasks/Task.h"
#include "tasks/TaskFields.h"
#include "upload/FileAccount.h"
#include "upload/SubjectLine.h"
#include "upload/UploadTaskFields.h"

#include <QFileInfo>

using namespace UploadTaskFields;

void SetUpWholeFileArticle(TNewsArticle& article, const TTask& task, const QString& messageId,
                           const QString& fallbackCharset)
{
    const TUploadFields<const TTask> upload = UploadFields(task);
    article.Clear();
    article.Encoding = BodyEncoding(task);
    article.AddFile(upload.Path);
    article.From = upload.From;
    // Compose adds these from the properties as well; the task's values go in as lines,
    // before From and Subject, so the properties must not repeat them.
    article.ReplyTo.clear();
    article.Organization.clear();
    if (!upload.ReplyTo.isEmpty())
        article.AddHeader(QStringLiteral("Reply-To: ") + upload.ReplyTo);
    if (!upload.Organization.isEmpty())
        article.AddHeader(QStringLiteral("Organization: ") + upload.Organization);
    const TSubjectParts subjectParts = SubjectParts(task);
    article.Subject = TSubjectLine::BuildSubjectLine(subjectParts.Template, subjectParts.Subject,
                                                     subjectParts.Path, 1, 1, subjectParts.Name);
    article.AddHeader(QStringLiteral("Message-ID: ") + messageId);
    article.Newsgroups = upload.Groups;
    article.SignatureFile = ExistingSignature(task);
    article.FallbackCharset = fallbackCharset;
    for (const QString& line : IncludeLines(task))
        article.AddBodyLine(line);
}

void RecordWholeFileSent(TFileAccount& account, const QString& path, const QString& messageId,
                         const QString& subject)
{
    const qint64 size = TLocalFile::Info(path).Size;
    account.Sent(1, 1, size > 0 ? 1 : 0, size, size, messageId, subject);
}
