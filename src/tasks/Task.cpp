#include "tasks/Task.h"

#include "tasks/TaskFields.h"

#include <QFileInfo>

#include <array>

QString TaskKindCaption(TTaskKind kind)
{
    switch (kind) {
    case tkDialUp:
        return QStringLiteral("Dial-up");
    case tkUpload:
        return QStringLiteral("Upload");
    case tkGroupDownload:
        return QStringLiteral("Group download");
    case tkNewGroups:
        return QStringLiteral("New groups");
    case tkDisconnect:
        return QStringLiteral("Disconnect");
    case tkHangup:
        return QStringLiteral("Hangup");
    }
    return QString();
}

bool IsKnownTaskKind(TTaskKind kind)
{
    return static_cast<int>(kind) < TaskKindCount;
}

QString& TTask::Text(int index)
{
    return const_cast<QString&>(static_cast<const TTask*>(this)->Text(index));
}

const QString& TTask::Text(int index) const
{
    const std::array<const QString*, 12> texts = {&Text1, &Text2,  &Text3,  &Text4,
                                                  &Text5, &Text6,  &Text7,  &Text8,
                                                  &Text9, &Text10, &Text11, &Text12};
    Q_ASSERT(index >= 1 && index <= 12);
    return *texts[static_cast<size_t>(index - 1)];
}

TTaskRow TTask::ViewRow() const
{
    TTaskRow row{TaskKindCaption(Kind), ViewLines(), {}, {}, {}};
    switch (Kind) {
    case tkDialUp:
        break;
    case tkHangup:
    case tkDisconnect:
        row.Server = TargetField(*this);
        break;
    case tkGroupDownload:
    case tkNewGroups:
        row.Server = GroupTaskFields(*this).Server;
        break;
    case tkUpload: {
        const TUploadFields<const TTask> upload = UploadFields(*this);
        row.File = upload.Path.section(u'/', -1);
        row.Groups = upload.Groups;
        row.Server = upload.Server;
        row.Bytes = QFileInfo(upload.Path).size();
        break;
    }
    }
    return row;
}

QStringList TTask::ViewLines() const
{
    switch (Kind) {
    case tkDialUp:
        return {DialFields(*this).Connection};
    case tkHangup:
    case tkDisconnect:
        return {TargetField(*this)};
    case tkGroupDownload:
        return {GroupTaskFields(*this).Server};
    case tkUpload: {
        const TUploadFields<const TTask> upload = UploadFields(*this);
        return {upload.Server, upload.Path, upload.SubjectParts};
    }
    case tkNewGroups: {
        const TGroupTaskFields<const TTask> groups = GroupTaskFields(*this);
        return {groups.Server, QStringLiteral("Since ") + groups.Since};
    }
    }
    return {};
}
