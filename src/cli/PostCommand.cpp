#include "cli/PostCommand.h"

#include "base/AppState.h"
#include "cli/CliRequest.h"
#include "cli/ExitStatus.h"
#include "cli/GroupSelection.h"
#include "base/SettingFields.h"
#include "cli/TerminalView.h"
#include "upload/UploadTaskBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TPostCommand::TPostCommand(TAppState& state, TTerminalView& view, TUploadTaskBuilder& builder,
                           TGroupSelection& groups)
    : m_state(state), m_view(view), m_builder(builder), m_groups(groups)
{
}

int TPostCommand::fail(const QString& text)
{
    m_view.Note(QStringLiteral("quorvel-cli: ") + text);
    return ExitFailed;
}

QString TPostCommand::checkFiles(const QStringList& files, QStringList* absolute) const
{
    for (const QString& file : files) {
        const QFileInfo info(file);
        if (!info.exists())
            return QStringLiteral("%1: no such file").arg(file);
        if (!info.isFile())
            return QStringLiteral("%1: not a regular file").arg(file);
        if (!info.isReadable())
            return QStringLiteral("%1: not readable").arg(file);
        *absolute << info.absoluteFilePath();
    }
    return QString();
}

QString TPostCommand::selectGroups(const QStringList& names, int* list, QList<int>* rows)
{
    // The window posts to the groups selected in one list of the pane; so does this.
    *list = -1;
    for (const QString& name : names) {
        const TGroupSelection::TPlace place = m_groups.Locate(name);
        if (place.List < 0)
            return QStringLiteral("'%1' is not in the profile's group list ('groups download' "
                                  "fetches the server's list, 'groups import' reads a newsrc)")
                .arg(name);
        if (*list >= 0 && place.List != *list)
            return QStringLiteral("the groups stand in different lists (%1 is %2); subscribe "
                                  "them first with 'groups subscribe'")
                .arg(place.Name, TGroupSelection::ListName(place.List));
        *list = place.List;
        if (!rows->contains(place.Row))
            *rows << place.Row;
    }
    return QString();
}

QString TPostCommand::applyOptions(const TCliRequest& request)
{
    ProfileSettings& s = m_state.Settings;
    const struct
    {
        const char* Option;
        const char* Setting;
    } plain[] = {
        {"template", "Template"}, {"lines", "MaxLines"},  {"signature", "SigFile"},
        {"server", "Host"},       {"timeout", "Timeout"}, {"post-timeout", "PostTimeout"},
    };
    for (const auto& o : plain) {
        const QString option = QLatin1String(o.Option);
        if (!request.Has(option))
            continue;
        const QString error =
            FindSettingField(QLatin1String(o.Setting))->Assign(s, request.Value(option));
        if (!error.isEmpty())
            return QStringLiteral("--%1: %2").arg(option, error);
    }
    if (request.Has(QStringLiteral("lines")) && s.MaxLines < 0)
        return QStringLiteral("--lines: 0 or more lines per part");
    if (request.Has(QStringLiteral("signature")) && !QFileInfo(s.SigFile).isReadable())
        return QStringLiteral("--signature: cannot read %1").arg(s.SigFile);
    if (request.Has(QStringLiteral("crosspost")))
        s.CrossPost = true;
    if (request.Has(QStringLiteral("no-crosspost")))
        s.CrossPost = false;
    if (request.Has(QStringLiteral("user"))) {
        const QString user = request.Value(QStringLiteral("user"));
        if (user != s.UserID)
            s.Password.clear(); // the stored password belongs to the stored user
        s.UserID = user;
        s.LoginRequired = true;
    }
    if (request.Has(QStringLiteral("include-text"))) {
        const QString error = readIncludeText(request.Value(QStringLiteral("include-text")));
        if (!error.isEmpty())
            return error;
        s.IncludeText = true;
    }
    if (request.Has(QStringLiteral("from")))
        m_view.SetFromText(request.Value(QStringLiteral("from")));
    if (request.Has(QStringLiteral("subject")))
        m_view.SetSubjectText(request.Value(QStringLiteral("subject")));
    return QString();
}

QString TPostCommand::readIncludeText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("--include-text: cannot read %1: %2").arg(path, file.errorString());
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    m_view.SetIncludeText(lines);
    return QString();
}

int TPostCommand::Queue(const TCliRequest& request)
{
    const QStringList groupNames = request.Values(QStringLiteral("group"));
    const QString catalog = request.Value(QStringLiteral("catalog"));
    if (groupNames.isEmpty())
        return fail(QStringLiteral("'post' needs at least one --group"));
    if (request.Arguments.isEmpty() && catalog.isEmpty())
        return fail(QStringLiteral("'post' needs files or --catalog FILE"));
    QStringList files;
    QString error = checkFiles(request.Arguments, &files);
    QStringList catalogPath;
    if (error.isEmpty() && !catalog.isEmpty())
        error = checkFiles({catalog}, &catalogPath);
    int list = -1;
    QList<int> rows;
    if (error.isEmpty())
        error = selectGroups(groupNames, &list, &rows);
    m_saved = m_state.Settings;
    if (error.isEmpty())
        error = applyOptions(request);
    if (error.isEmpty() && m_state.Settings.IncludeText && !request.Has("include-text") &&
        !m_view.CanAsk())
        error = QStringLiteral("the profile puts an include text before each file: give "
                               "--include-text FILE");
    if (!error.isEmpty()) {
        restore();
        return fail(error);
    }

    if (!files.isEmpty())
        queueFiles(files, list, rows);
    if (!catalogPath.isEmpty() && !m_view.QuestionRefused()) {
        m_groups.Select(list, rows);
        m_view.SetNextOpenFile(catalogPath.first());
        m_builder.DoFileUpload();
    }
    restore();
    if (m_view.TaskCount() == 0)
        return fail(m_view.QuestionRefused() ? QStringLiteral("nothing queued")
                                             : QStringLiteral("nothing to post"));
    return ExitOk;
}

void TPostCommand::queueFiles(const QStringList& files, int list, const QList<int>& rows)
{
    // The file pane shows one folder at a time: files from several folders are queued folder
    // by folder, and only the last batch ends with the Disconnect (and Hangup) tasks.
    QStringList folders;
    for (const QString& file : files) {
        const QString folder = QFileInfo(file).absolutePath();
        if (!folders.contains(folder))
            folders << folder;
    }
    const bool disconnect = m_state.Settings.DisconnectWhenDone;
    for (const QString& folder : folders) {
        QStringList selected;
        for (const QString& file : files)
            if (QFileInfo(file).absolutePath() == folder)
                selected << file;
        m_state.Settings.DisconnectWhenDone = disconnect && folder == folders.last();
        m_view.SetFolderPath(folder);
        m_view.SetSelectedFiles(selected);
        m_groups.Select(list, rows);
        m_builder.PostButtonClick();
        if (m_view.QuestionRefused())
            break;
    }
    m_state.Settings.DisconnectWhenDone = disconnect;
}

void TPostCommand::restore()
{
    // Only what the options touch goes back; a password typed at the login prompt stays
    // for this run, as in the window.
    ProfileSettings& s = m_state.Settings;
    s.Template = m_saved.Template;
    s.MaxLines = m_saved.MaxLines;
    s.SigFile = m_saved.SigFile;
    s.Host = m_saved.Host;
    s.Timeout = m_saved.Timeout;
    s.PostTimeout = m_saved.PostTimeout;
    s.CrossPost = m_saved.CrossPost;
    s.IncludeText = m_saved.IncludeText;
    s.DisconnectWhenDone = m_saved.DisconnectWhenDone;
    if (s.UserID != m_saved.UserID || s.LoginRequired != m_saved.LoginRequired) {
        s.UserID = m_saved.UserID;
        s.LoginRequired = m_saved.LoginRequired;
        s.Password = m_saved.Password;
    }
    m_view.SetSubjectText(s.LastSubject);
    m_view.SetFolderPath(s.LastDir);
    m_view.SetFromText(QStringLiteral("%1 (%2)").arg(s.EmailAddress, s.FullName));
}
