#include "upload/UploadTaskFields.h"

#include "base/CommaText.h"
#include "tasks/TaskFields.h"

#include <QFileInfo>

namespace UploadTaskFields {

TSubjectParts SubjectParts(const TTask& task)
{
    const TUploadFields<const TTask> upload = UploadFields(task);
    const QStringList values = CommaText::Read(upload.SubjectParts);
    TSubjectParts subjectParts{values.value(0), values.value(1), values.value(2), values.value(3)};
    // A hand-edited task file may lose the path here; the file to post is still known.
    if (subjectParts.Path.isEmpty())
        subjectParts.Path = upload.Path;
    return subjectParts;
}

TLogin SplitLogin(const QString& field)
{
    const qsizetype comma = field.indexOf(QLatin1Char(','));
    if (comma < 0)
        return {field, QString()};
    return {field.left(comma), field.mid(comma + 1)};
}

QString ExistingSignature(const TTask& task)
{
    const TUploadFields<const TTask> upload = UploadFields(task);
    if (upload.SignatureFile.isEmpty() || !QFileInfo(upload.SignatureFile).isFile())
        return QString();
    return upload.SignatureFile;
}

TBodyEncoding BodyEncoding(const TTask& task)
{
    return UploadFields(task).YEnc ? TBodyEncoding::YEnc : TBodyEncoding::UUEncode;
}

QStringList IncludeLines(const TTask& task)
{
    const TUploadFields<const TTask> upload = UploadFields(task);
    return upload.IncludeText.isEmpty() ? QStringList() : CommaText::Read(upload.IncludeText);
}

TClientSetup ClientSetup(const TTask& task)
{
    const TUploadFields<const TTask> upload = UploadFields(task);
    const TLogin login = SplitLogin(upload.Login);
    return {upload.Server,
            {upload.LoginRequired, login.UserName, login.Password},
            task.Timeout,
            task.PostTimeout};
}

TUploadValues UploadValues(const TTask& task)
{
    const TUploadFields<const TTask> upload = UploadFields(task);
    return {upload.Path,        upload.From,        upload.ReplyTo,     upload.Organization,
            upload.Groups,      upload.Batch,       SubjectParts(task), ExistingSignature(task),
            IncludeLines(task), BodyEncoding(task), ClientSetup(task),  task.MaxLines};
}

} // namespace UploadTaskFields
