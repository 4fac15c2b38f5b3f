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
    for (const TCommandSpec& subjectSpec : CommandSpecs()) {
        const QStringList parts = subjectSpec.Name.split(u' ');
        if (parts.size() > words.size() || words.mid(0, parts.size()) != parts)
            continue;
        if (!best || parts.size() > *used) {
            best = &subjectSpec;
            *used = int(parts.size());
        }
    }
    return best;
}

TParseOutcome fail(const QString& text)
{
    TParseOutcome out;
    out.What = TParseOutcome::Error;
    out.ErrorText = text;
    return out;
}

QString argumentCountError(const TCommandSpec& subjectSpec, int count)
{
    if (count < subjectSpec.MinArguments)
        return QStringLiteral("'%1' needs %2").arg(subjectSpec.Name, subjectSpec.Arguments);
    return subjectSpec.Arguments.isEmpty()
               ? QStringLiteral("'%1' takes no arguments").arg(subjectSpec.Name)
               : QStringLiteral("'%1' takes %2 only").arg(subjectSpec.Name, subjectSpec.Arguments);
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
        // "-1" is a value ("profile set PostTimeout -1"), not an option.
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
        if (name == QLatin1String("help")) {
            out.What = TParseOutcome::Help;
            return out;
        }
        if (name == QLatin1String("version")) {
            out.What = TParseOutcome::Version;
            return out;
        }
    }
    if (words.isEmpty())
        return fail(QStringLiteral("no command given"));

    int used = 0;
    const TCommandSpec* subjectSpec = matchCommand(words, &used);
    if (!subjectSpec)
        return fail(QStringLiteral("unknown command '%1'").arg(words.mid(0, 2).join(u' ')));
    req.Command = subjectSpec->Name;
    req.Arguments = words.mid(used);
    const int count = int(req.Arguments.size());
    if (count < subjectSpec->MinArguments ||
        (subjectSpec->MaxArguments >= 0 && count > subjectSpec->MaxArguments))
        return fail(argumentCountError(*subjectSpec, count));

    for (const auto& [name, value] : options) {
        if (name == QLatin1String("profile"))
            req.Profile = value;
        else if (name == QLatin1String("yes"))
            req.AssumeYes = true;
        else if (name == QLatin1String("verbose"))
            req.Verbose = true;
        else if (isGlobal(name) || subjectSpec->FindOption(name))
            req.Options.insert(name, value);
        else
            return fail(QStringLiteral("'%1' has no option '--%2'").arg(subjectSpec->Name, name));
    }
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
        const QString head = (c.Name + u' ' + c.Arguments).trimmed();
        text += QStringLiteral("  %1  %2\n").arg(head, -24).arg(c.Help);
        for (const TOptionSpec& o : c.Options)
            text += optionLine(o);
    }
    text += QStringLiteral(
        "\nPasswords are never taken from the command line: they are read from the terminal\n"
        "without echo, or from QUORVEL_PASSWORD and QUORVEL_DIALUP_PASSWORD.\n"
        "QUORVEL_HOME names the folder of the data files, QUORVEL_SETTINGS the settings file.\n"
        "\nExit status: 0 when every task ended well, 1 when a task or command failed (the\n"
        "task file then keeps what is left; 'tasks run' resumes it), 2 for a usage error,\n"
        "130 when interrupted.\n");
    return text;
}
