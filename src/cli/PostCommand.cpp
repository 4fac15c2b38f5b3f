#include "cli/PostCommand.h"

#include "article/GroupName.h"
#include "base/AppState.h"
#include "base/ServerList.h"
#include "base/SettingFields.h"
#include "cli/CliRequest.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "cli/GroupSelection.h"
#include "cli/TerminalView.h"
#include "codec/LocalFile.h"
#include "upload/UploadTaskBuilder.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>

TPostCommand::TPostCommand(TAppState& state, TTerminalView& view, TUploadTaskBuilder& builder,
                           TGroupSelection& groups)
    : m_state(state), m_view(view), m_builder(builder), m_groups(groups)
{
}

int TPostCommand::fail(const QString& text, int status)
{
    m_view.Note(QStringLiteral("quorvel-cli: ") + text);
    if (status == ExitUsage)
        m_view.Note(TCommandLine::TryHelp(QStringLiteral("post")));
    return status;
}

QString TPostCommand::usageError(const TCliRequest& request, ProfileSettings& s) const
{
    if (request.Arguments.isEmpty() && !request.Has(QStringLiteral("catalog")))
        return QStringLiteral("'post' needs files or --catalog FILE");
    for (const QString& name : request.Values(QStringLiteral("group"))) {
        // A comma would make two groups of one in the Newsgroups line.
        if (name.contains(u',') ||
            !GroupName::IsUsable(GroupName::ToBytes(GroupName::FromTyped(name))))
            return QStringLiteral("--group: '%1' is not a newsgroup name (one name, without "
                                  "blanks, commas or control characters)")
                .arg(name);
    }
    const struct
    {
        const char* Option;
        const char* Setting;
    } plain[] = {
        {"template", "Template"}, {"lines", "MaxLines"},   {"signature", "SigFile"},
        {"server", "Host"},       {"timeout", "Timeout"},  {"post-timeout", "PostTimeout"},
        {"encoding", "Encoding"}, {"par2", "Par2Percent"},
    };
    const TServerList servers = TServerList::FromProfile(s);
    for (const auto& o : plain) {
        const QString option = QLatin1String(o.Option);
        if (!request.Has(option))
            continue;
        // A server of the profile's list is reached at its address; its security and login
        // are the session's (ReadServerOption).
        const TServerEntry* named =
            option == QLatin1String("server") ? servers.Find(request.Value(option)) : nullptr;
        if (named) {
            s.Host = named->Address();
            continue;
        }
        const QString error =
            FindSettingField(QLatin1String(o.Setting))->Assign(s, request.Value(option));
        if (!error.isEmpty())
            return QStringLiteral("--%1: %2").arg(option, error);
    }
    return QString();
}

QString TPostCommand::checkFiles(const QStringList& files, QStringList* absolute) const
{
    for (const QString& file : files) {
        // By the name's bytes: it need not be UTF-8.
        const TLocalFile::TInfo info = TLocalFile::Info(file);
        const QString shown = TLocalFile::Shown(file);
        if (!info.Exists)
            return QStringLiteral("%1: no such file").arg(shown);
        if (!info.IsFile)
            return QStringLiteral("%1: not a regular file").arg(shown);
        if (!info.Readable)
            return QStringLiteral("%1: not readable").arg(shown);
        *absolute << QFileInfo(file).absoluteFilePath();
    }
    return QString();
}

QString TPostCommand::locateGroups(const QStringList& names, TPostRequest& post) const
{
    // Listed groups go in list and row order, as a selection in the pane gives them; a
    // group no list holds is posted to as named, after a note, and the lists stay as they
    // are. Counts go up by name once the server takes the post.
    QList<QPair<int, int>> places;
    QStringList outside;
    for (const QString& name : names) {
        const TGroupSelection::TPlace place = m_groups.Locate(name);
        if (place.List < 0) {
            if (!outside.contains(place.Name))
                outside << place.Name;
        } else if (!places.contains(qMakePair(place.List, place.Row))) {
            places << qMakePair(place.List, place.Row);
        }
    }
    std::sort(places.begin(), places.end());
    for (const auto& [list, row] : std::as_const(places))
        post.Groups << m_groups.Name(list, row);
    for (const QString& name : std::as_const(outside)) {
        m_view.Note(QStringLiteral("Note: '%1' is not in the profile's group list; posting to "
                                   "it anyway.")
                        .arg(GroupName::Shown(name)));
        post.Groups << name;
    }
    return QString();
}

QString TPostCommand::applyOptions(const TCliRequest& request, ProfileSettings s,
                                   TPostRequest& post)
{
    if (request.Has(QStringLiteral("signature")) && !QFileInfo(s.SigFile).isReadable())
        return QStringLiteral("--signature: cannot read %1").arg(s.SigFile);
    if (request.Has(QStringLiteral("crosspost")))
        s.CrossPost = true;
    if (request.Has(QStringLiteral("no-crosspost")))
        s.CrossPost = false;
    if (request.Has(QStringLiteral("include-text"))) {
        const QString error =
            readIncludeText(request.Value(QStringLiteral("include-text")), post.IncludeLines);
        if (!error.isEmpty())
            return error;
        s.IncludeText = true;
    }
    TPostRequest options = TPostRequest::FromSettings(s);
    options.IncludeLines = post.IncludeLines;
    options.From = request.Has(QStringLiteral("from")) ? request.Value(QStringLiteral("from"))
                                                       : m_view.FromText();
    options.Subject = request.Has(QStringLiteral("subject"))
                          ? request.Value(QStringLiteral("subject"))
                          : m_view.SubjectText();
    options.Groups = post.Groups;
    post = options;
    return QString();
}

QString TPostCommand::readIncludeText(const QString& path, std::optional<QStringList>& lines) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("--include-text: cannot read %1: %2").arg(path, file.errorString());
    QString text = QString::fromUtf8(file.readAll());
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QStringList read = text.split(u'\n');
    if (!read.isEmpty() && read.last().isEmpty())
        read.removeLast();
    lines = read;
    return QString();
}

int TPostCommand::Queue(const TCliRequest& request)
{
    // The options change a copy of the settings: a one-off option never changes the profile.
    ProfileSettings settings = m_state.Settings;
    if (const QString usage = usageError(request, settings); !usage.isEmpty())
        return fail(usage, ExitUsage);
    const QStringList groupNames = request.Values(QStringLiteral("group"));
    const QString catalog = request.Value(QStringLiteral("catalog"));
    QStringList files;
    QString error = checkFiles(request.Arguments, &files);
    QStringList catalogPath;
    if (error.isEmpty() && !catalog.isEmpty())
        error = checkFiles({catalog}, &catalogPath);
    TPostRequest post;
    if (error.isEmpty())
        error = locateGroups(groupNames, post);
    if (error.isEmpty())
        error = applyOptions(request, settings, post);
    if (error.isEmpty() && !post.SubjectError().isEmpty())
        return request.Has(QStringLiteral("subject"))
                   ? fail("--subject: " + post.SubjectError(), ExitUsage)
                   : fail("the profile's " + post.SubjectError().mid(4));
    if (error.isEmpty() && post.HasPlaceholderFrom())
        error =
            (post.From.contains(u'@') ? QStringLiteral("the From address %1 is only an example")
                                            .arg(ProfileSettings().EmailAddress)
                                      : QStringLiteral("no e-mail address to post from is set")) +
            QStringLiteral(": set yours with 'quorvel-cli profile set EmailAddress "
                           "ADDRESS', or give --from");
    if (error.isEmpty() && post.IncludeText && !post.IncludeLines && !m_view.CanAsk())
        error = QStringLiteral("the profile puts an include text before each file: give "
                               "--include-text FILE");
    if (!error.isEmpty())
        return fail(error);

    if (!files.isEmpty())
        queueFiles(files, post);
    if (!catalogPath.isEmpty() && !m_view.QuestionRefused()) {
        post.Catalog = catalogPath.first();
        m_builder.PostCatalog(post);
    }
    if (m_view.TaskCount() == 0)
        return fail(m_view.QuestionRefused() ? QStringLiteral("nothing queued")
                                             : QStringLiteral("nothing to post"));
    return ExitOk;
}

void TPostCommand::queueFiles(const QStringList& files, const TPostRequest& post)
{
    // Files from several folders are queued folder by folder, as the window's file pane
    // shows one folder at a time, and only the last batch ends with the Disconnect (and
    // Hangup) tasks.
    QStringList folders;
    for (const QString& file : files) {
        const QString folder = QFileInfo(file).absolutePath();
        if (!folders.contains(folder))
            folders << folder;
    }
    for (const QString& folder : folders) {
        TPostRequest batch = post;
        batch.Folder = folder;
        batch.Files.clear();
        for (const QString& file : files)
            if (QFileInfo(file).absolutePath() == folder)
                batch.Files << file;
        batch.DisconnectWhenDone = post.DisconnectWhenDone && folder == folders.last();
        m_builder.Post(batch);
        if (m_view.QuestionRefused())
            break;
    }
}
