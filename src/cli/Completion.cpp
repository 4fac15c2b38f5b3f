#include "cli/Completion.h"

#include "base/SettingFields.h"
#include "cli/CommandSpec.h"

#include <utility>

namespace {

const TOptionSpec* findOption(const QString& name)
{
    for (const TOptionSpec& o : GlobalOptions())
        if (o.Name == name)
            return &o;
    for (const TCommandSpec& c : CommandSpecs())
        if (const TOptionSpec* o = c.FindOption(name))
            return o;
    return nullptr;
}

QStringList startingWith(const QStringList& words, const QString& start)
{
    QStringList out;
    for (const QString& w : words)
        if (w.startsWith(start, Qt::CaseInsensitive) && !out.contains(w))
            out << w;
    return out;
}

QStringList optionWords(const QList<TOptionSpec>& options)
{
    QStringList out;
    for (const TOptionSpec& o : options)
        out << QStringLiteral("--") + o.Name;
    return out;
}

} // namespace

TCompletion::TCompletion(QStringList profiles, TServerNames servers)
    : m_profiles(std::move(profiles)), m_servers(std::move(servers))
{
}

QStringList TCompletion::servers(const QString& profile) const
{
    return m_servers ? m_servers(profile) : QStringList();
}

QStringList TCompletion::optionValues(const QString& option, const QString& profile) const
{
    if (option == QLatin1String("profile"))
        return m_profiles;
    if (option == QLatin1String("server") || option == QLatin1String("check-server"))
        return servers(profile);
    // A value name such as "uuencode|yenc" lists the words the option takes.
    const TOptionSpec* known = findOption(option);
    if (known && known->ValueName.contains(u'|'))
        return known->ValueName.split(u'|');
    return {};
}

QStringList TCompletion::argumentValues(const QString& command, const QStringList& arguments,
                                        const QString& profile) const
{
    if (command == QLatin1String("profile delete") && arguments.isEmpty())
        return m_profiles;
    if (command == QLatin1String("server remove") || command == QLatin1String("server test"))
        return arguments.isEmpty() ? servers(profile) : QStringList();
    if (command == QLatin1String("server set"))
        return arguments.isEmpty() ? servers(profile) : serverFieldValues(arguments);
    if (command != QLatin1String("profile set"))
        return {};
    if (arguments.isEmpty()) {
        QStringList names;
        for (const TSettingField& f : SettingFields())
            if (!f.Secret) // passwords go through "profile set-password"
                names << f.Name;
        return names;
    }
    const TSettingField* field = arguments.size() == 1 ? FindSettingField(arguments[0]) : nullptr;
    if (!field)
        return {};
    if (std::holds_alternative<bool ProfileSettings::*>(field->Member))
        return {QStringLiteral("yes"), QStringLiteral("no")};
    return field->Choices();
}

// "server set NAME FIELD VALUE": the fields are the options that carry a value.
QStringList TCompletion::serverFieldValues(const QStringList& arguments) const
{
    const TCommandSpec* set = nullptr;
    for (const TCommandSpec& c : CommandSpecs())
        if (c.Name == QLatin1String("server set"))
            set = &c;
    if (!set || arguments.size() > 2)
        return {};
    if (arguments.size() == 2) {
        const TOptionSpec* field = set->FindOption(arguments[1]);
        return field && field->ValueName.contains(u'|') ? field->ValueName.split(u'|')
                                                        : QStringList();
    }
    QStringList fields;
    for (const TOptionSpec& o : set->Options)
        if (!o.ValueName.isEmpty())
            fields << o.Name;
    return fields;
}

QStringList TCompletion::Candidates(const QStringList& words, int index) const
{
    index = qBound(0, index, int(words.size()));
    // The servers are those of the profile the line names.
    QString profile = QStringLiteral("Default");
    for (int i = 0; i + 1 < words.size(); ++i)
        if (words[i] == QLatin1String("--profile") && i + 1 != index)
            profile = words[i + 1] == u'=' ? words.value(i + 2) : words[i + 1];
    const QString current = words.value(index);
    QStringList commandWords;
    QString pendingOption; // an option whose value is the next word
    for (const QString& w : words.mid(0, index)) {
        // bash splits "--encoding=yenc" at the '=' into three words.
        if (!pendingOption.isEmpty() && w == u'=')
            continue;
        if (!pendingOption.isEmpty()) {
            pendingOption.clear();
            continue;
        }
        if (w.startsWith(QLatin1String("--"))) {
            const QString name = w.mid(2).section(u'=', 0, 0);
            const TOptionSpec* known = findOption(name);
            if (known && !known->ValueName.isEmpty() && !w.contains(u'='))
                pendingOption = name;
        } else if (!w.startsWith(u'-') || w.size() == 1) {
            commandWords << w;
        }
    }
    if (!pendingOption.isEmpty())
        return startingWith(optionValues(pendingOption, profile), current);

    const TCommandSpec* command = nullptr;
    qsizetype used = 0;
    for (const TCommandSpec& c : CommandSpecs()) {
        const QStringList parts = c.Name.split(u' ');
        if (parts.size() > used && commandWords.mid(0, parts.size()) == parts) {
            command = &c;
            used = parts.size();
        }
    }
    if (current.startsWith(u'-'))
        return startingWith(optionWords(GlobalOptions()) +
                                (command ? optionWords(command->Options) : QStringList()),
                            current);
    if (command)
        return startingWith(argumentValues(command->Name, commandWords.mid(used), profile),
                            current);
    QStringList next;
    for (const TCommandSpec& c : CommandSpecs()) {
        const QStringList parts = c.Name.split(u' ');
        if (parts.size() > commandWords.size() && parts.mid(0, commandWords.size()) == commandWords)
            next << parts[commandWords.size()];
    }
    return startingWith(next, current);
}
