#include "upload/UploadTaskFields.h"

#include "base/CommaText.h"
#include "net/bcsNNTP.h"
#include "tasks/Task.h"

#include <QFileInfo>

namespace UploadTaskFields {

TSubjectSpec SubjectSpec(const TTask& task)
{
    const QStringList values = CommaText::Read(task.Text5);
    TSubjectSpec subjectSpec{values.value(0), values.value(1), values.value(2)};
    // A hand-edited task file may lose the path here; the file to post is still known.
    if (subjectSpec.Path.isEmpty())
        subjectSpec.Path = task.Text1;
    return subjectSpec;
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
    if (task.Text7.isEmpty() || !QFileInfo(task.Text7).isFile())
        return QString();
    return task.Text7;
}

QStringList IncludeLines(const TTask& task)
{
    return task.Text10.isEmpty() ? QStringList() : CommaText::Read(task.Text10);
}

void ApplyToClient(const TTask& task, TbcsNNTP& client)
{
    client.SetServer(task.Text8);
    client.SetAuthenticate(task.Flag1);
    if (task.Flag1) {
        const TLogin login = SplitLogin(task.Text9);
        client.SetUserName(login.UserName);
        client.SetPassword(login.Password);
    }
    client.SetTimeout(task.Timeout);
    client.SetPostTimeout(task.PostTimeout);
}

} // namespace UploadTaskFields
