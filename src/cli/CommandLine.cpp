#include "cli/CommandLine.h"

#include "cli/CommandSpec.h"

#include <QHash>

namespace {

// Option name -> whether it takes a value, over every command, so options may stand before
// or after the command words.
QHash<QString, bool> knownOptions()
{
    QHash<QString, bool> known;
    for (const TOptionSpec& o : GlobalOptions())
        known.insert(o.Name, !o.ValueName.isEmpty());
    for (const TCommandSpec& c : CommandSpecs())
        for (const TOptionSpec& o : c.Options)
            known.insert(o.Name, !o.ValueName.isEmpty());
    return known;
}

QString shortOption(QChar c)
{
    switch (c.unicode()) {
    case 'y':
        return QStringLiteral("yes");
    case 'v':
        return QStringLiteral("verbose");
    case 'h':
        return QStringLiteral("help");
    default:
        return QString();
    }
}

bool isGlobal(const QString& name)
{
    for (const TOptionSpec& o : GlobalOptions())
        if (o.Name == name)
            return true;
    return false;
}

const TCommandSpec* matchCommand(const QStringList& words, int* used)
{
    const TCommandSpec* best = nullptr;
    for (const TCommandSpec& entry : CommandSpecs()) {
        const QStringList parts = entry.Name.split(u' ');
        if (parts.size() > words.size() || words.mid(0, parts.size()) != parts)
            continue;
        if (!best || parts.size() > *used) {
            best = &entry;
            *used = int(parts.size());
        }
    }
    return best;
}

// command, when known, is the one whose help the message points to.
TParseOutcome fail(const QString& text, const QString& command = QString())
{
    TParseOutcome out;
    out.What = TParseOutcome::Error;
    out.ErrorText = text;
    out.Request.Command = command;
    return out;
}

// "--help" with command words asks for the help of that command, or of the commands that
// begin with the first word ("groups --help").
TParseOutcome helpFor(const QStringList& words)
{
    TParseOutcome out;
    out.What = TParseOutcome::Help;
    int used = 0;
    if (const TCommandSpec* command = matchCommand(words, &used))
        out.Request.Command = command->Name;
    else if (!words.isEmpty() && IsCommandArea(words.first()))
        out.Request.Command = words.first();
    else if (!words.isEmpty())
        return fail(QStringLiteral("unknown command '%1'").arg(words.first()));
    return out;
}

QString argumentCountError(const TCommandSpec& entry, int count)
{
    if (count < entry.MinArguments)
        return QStringLiteral("'%1' needs %2").arg(entry.Name, entry.Arguments);
    return entry.Arguments.isEmpty()
               ? QStringLiteral("'%1' takes no arguments").arg(entry.Name)
               : QStringLiteral("'%1' takes %2 only").arg(entry.Name, entry.Arguments);
}

} // namespace

TParseOutcome TCommandLine::Parse(const QStringList& args)
{
    const QHash<QString, bool> known = knownOptions();
    TParseOutcome out;
    TCliRequest& req = out.Request;
    QStringList words;
    QList<QPair<QString, QString>> options;
    bool optionsEnded = false;

    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        // "-5" is a value ("post --lines -5", refused as one), not an option.
        const bool negativeNumber = a.size() > 1 && a[0] == u'-' && a[1].isDigit();
        if (optionsEnded || a == u'-' || !a.startsWith(u'-') || negativeNumber) {
            words << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name;
        QString value;
        bool inlineValue = false;
        if (a.startsWith(QLatin1String("--"))) {
            name = a.mid(2);
            const qsizetype eq = name.indexOf(u'=');
            if (eq >= 0) {
                value = name.mid(eq + 1);
                name.truncate(eq);
                inlineValue = true;
            }
        } else if (a.size() == 2) {
            name = shortOption(a[1]);
        }
        if (name.isEmpty() || !known.contains(name))
            return fail(QStringLiteral("unknown option '%1'").arg(a));
        if (known.value(name) && !inlineValue) {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("option '--%1' needs a value").arg(name));
            value = args[++i];
        } else if (!known.value(name) && inlineValue) {
            return fail(QStringLiteral("option '--%1' takes no value").arg(name));
        }
        options.append({name, value});
    }

    for (const auto& [name, value] : options) {
        if (name == QLatin1String("help"))
            return helpFor(words);
        if (name == QLatin1String("version")) {
            out.What = TParseOutcome::Version;
            return out;
        }
    }
    if (words.isEmpty())
        return fail(QStringLiteral("no command given"));

    int used = 0;
    const TCommandSpec* entry = matchCommand(words, &used);
    if (!entry)
        return fail(QStringLiteral("unknown command '%1'").arg(words.mid(0, 2).join(u' ')));
    req.Command = entry->Name;
    req.Arguments = words.mid(used);
    const int count = int(req.Arguments.size());
    if (count < entry->MinArguments || (entry->MaxArguments >= 0 && count > entry->MaxArguments))
        return fail(argumentCountError(*entry, count), req.Command);

    for (const auto& [name, value] : options) {
        if (name == QLatin1String("profile"))
            req.Profile = value;
        else if (name == QLatin1String("yes"))
            req.AssumeYes = true;
        else if (name == QLatin1String("verbose"))
            req.Verbose = true;
        else if (isGlobal(name) || entry->FindOption(name))
            req.Options.insert(name, value);
        else
            return fail(QStringLiteral("'%1' has no option '--%2'").arg(entry->Name, name),
                        req.Command);
    }
    for (const TOptionSpec& o : entry->Options)
        if (o.Required && !req.Has(o.Name))
            return fail(QStringLiteral("'%1' needs at least one --%2 %3")
                            .arg(entry->Name, o.Name, o.ValueName),
                        req.Command);
    if (req.Profile.trimmed().isEmpty())
        return fail(QStringLiteral("the profile name is empty"));
    out.What = TParseOutcome::Run;
    return out;
}

namespace {

QString optionLine(const TOptionSpec& o)
{
    QString left = QStringLiteral("--") + o.Name;
    if (!o.ValueName.isEmpty())
        left += u' ' + o.ValueName;
    return QStringLiteral("    %1  %2\n").arg(left, -22).arg(o.Help);
}

QString commandHead(const TCommandSpec& c)
{
    return (c.Name + u' ' + c.Arguments).trimmed();
}

const QString ExitStatusText = QStringLiteral(
    "Exit status:\n"
    "  0    every command and queued task ended well (warnings and notes do not change it)\n"
    "  1    the command failed, or a task failed before any article was posted; the reason\n"
    "       was printed (the task file then keeps what is left; 'tasks run' resumes it);\n"
    "       or the tasks ran but the journal or an NZB file could not be written (the file\n"
    "       and the reason were printed)\n"
    "  2    the command line was not understood: an unknown command or option, a missing\n"
    "       or surplus argument, a missing --group, a value a setting or option does not take\n"
    "  3    some articles were posted, then a task failed; what was not posted is kept in\n"
    "       the task file ('tasks run' resumes it)\n"
    "  4    the tasks ran, but articles are still missing on the server after the last\n"
    "       check (CheckAfterPost); their files were printed, and the NZB file, named\n"
    "       NAME.incomplete.nzb, lists only the articles found\n"
    "  130  interrupted by Ctrl+C or SIGTERM (the queue was saved)\n");

QString oneCommandHelp(const TCommandSpec& c)
{
    // The one-line help of the command list, as a sentence of its own.
    const QString sentence = c.Help.at(0).toUpper() + c.Help.mid(1) + u'.';
    QString text = QStringLiteral("Usage: quorvel-cli [--profile NAME] [--yes] [--verbose] %1%2%3\n"
                                  "\n%4\n")
                       .arg(c.Name, c.Options.isEmpty() ? QString() : QStringLiteral(" [OPTIONS]"),
                            c.Arguments.isEmpty() ? QString() : u' ' + c.Arguments, sentence);
    if (!c.Options.isEmpty()) {
        text += QStringLiteral("\nOptions:\n");
        for (const TOptionSpec& o : c.Options)
            text += optionLine(o);
    }
    text += QStringLiteral("\nExample:\n  %1\n").arg(c.Example);
    text += QStringLiteral("\n'quorvel-cli --help' lists the general options, every command and "
                           "the exit statuses.\n");
    return text;
}

QString areaHelp(const QString& area)
{
    QString text = QStringLiteral("Usage: quorvel-cli [--profile NAME] %1 COMMAND [OPTIONS] "
                                  "[ARGS]\n\nCommands:\n")
                       .arg(area);
    for (const TCommandSpec& c : CommandSpecs())
        if (c.Name.section(u' ', 0, 0) == area)
            text += QStringLiteral("  %1  %2\n").arg(commandHead(c), -24).arg(c.Help);
    text += QStringLiteral("\n'quorvel-cli %1 COMMAND --help' shows a command's options and an "
                           "example.\n")
                .arg(area);
    return text;
}

} // namespace

QString TCommandLine::Usage()
{
    QString text = QStringLiteral(
        "Usage: quorvel-cli [--profile NAME] [--yes] [--verbose] COMMAND [OPTIONS] [ARGS]\n"
        "\n"
        "Posts files to Usenet and manages newsgroup lists, profiles and queued tasks with the\n"
        "same profiles, settings, newsrc files, logs and task file as the Quorvel window.\n"
        "\nGeneral options:\n");
    for (const TOptionSpec& o : GlobalOptions())
        text += optionLine(o);
    text += QStringLiteral("\nCommands:\n");
    for (const TCommandSpec& c : CommandSpecs()) {
        text += QStringLiteral("  %1  %2\n").arg(commandHead(c), -24).arg(c.Help);
        for (const TOptionSpec& o : c.Options)
            text += optionLine(o);
    }
    text += QStringLiteral(
        "\n'quorvel-cli COMMAND --help' shows one command's options and an example.\n"
        "\nPasswords are never taken from the command line: they are read from the terminal\n"
        "without echo, or from QUORVEL_PASSWORD and QUORVEL_DIALUP_PASSWORD.\n"
        "QUORVEL_HOME names the folder of the data files, QUORVEL_SETTINGS the settings file.\n"
        "Progress is shown only on a terminal, as one line redrawn in place: the batch's per\n"
        "cent, bytes, speed and time left, and the file and part being posted. Without a\n"
        "terminal a line tells each file started and posted, and each failure; --verbose\n"
        "prints every log line. With --json, post and tasks run write one JSON object a line\n"
        "on standard output for each event (\"event\": file_started, part_accepted, file_ended,\n"
        "batch_summary with the NZB file, run_ended with the exit status).\n\n");
    text += ExitStatusText;
    return text;
}

QString TCommandLine::Help(const QString& command)
{
    for (const TCommandSpec& c : CommandSpecs())
        if (c.Name == command)
            return oneCommandHelp(c);
    return IsCommandArea(command) ? areaHelp(command) : Usage();
}

QString TCommandLine::TryHelp(const QString& command)
{
    return command.isEmpty() ? QStringLiteral("Try 'quorvel-cli --help'.")
                             : QStringLiteral("Try 'quorvel-cli %1 --help'.").arg(command);
}
