#pragma once

#include "article/EncodedBody.h"
#include "tasks/ConnectionOverride.h"

#include <QString>
#include <QStringList>

struct TTask;

// Reading the fields of an upload task the way both posting paths need them.
namespace UploadTaskFields {

struct TSubjectParts
{
    QString Template;
    QString Subject;
    QString Path;
    // The name %f stands for: the path below the folder that was posted, for a file in a
    // subfolder of it; empty for the file's own name.
    QString Name;
};

// What the subject line is made of: the template, the subject text, the file's path and, for
// a file in a subfolder of the folder posted, its path below that folder, in comma-text form.
TSubjectParts SubjectParts(const TTask& task);

struct TLogin
{
    QString UserName;
    QString Password;
};

// The login field split at its first comma: the password is all that follows, blanks and further
// commas included, and empty when nothing does.
TLogin SplitLogin(const QString& field);

// The signature file when it exists, else empty.
QString ExistingSignature(const TTask& task);

// How the task's binary file is encoded.
TBodyEncoding BodyEncoding(const TTask& task);

// The include text's lines; none when it is empty.
QStringList IncludeLines(const TTask& task);

// The server, the login and the time-outs of the task.
TClientSetup ClientSetup(const TTask& task);

// An upload task's fields read once into typed values when its series starts: every article of
// the series is made from them, so that no part reads the task's comma text again.
struct TUploadValues
{
    QString Path;
    QString From;
    QString ReplyTo;
    QString Organization;
    QString Groups; // as the Newsgroups header takes them
    QString Batch;
    TSubjectParts Subject;
    QString Signature; // the signature file when it exists, else empty
    QStringList Include;
    TBodyEncoding Encoding = TBodyEncoding::UUEncode;
    TClientSetup Client;
    qint32 MaxLines = 0;
};

TUploadValues UploadValues(const TTask& task);

} // namespace UploadTaskFields
