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

TCompletion::TCompletion(QStringList profiles) : m_profiles(std::move(profiles)) {}

QStringList TCompletion::optionValues(const QString& option) const
{
    if (option == QLatin1String("profile"))
        return m_profiles;
    // A value name such as "uuencode|yenc" lists the words the option takes.
    const TOptionSpec* known = findOption(option);
    if (known && known->ValueName.contains(u'|'))
        return known->ValueName.split(u'|');
    return {};
}

QStringList TCompletion::argumentValues(const QString& command, const QStringList& arguments) const
{
    if (command == QLatin1String("profile delete") && arguments.isEmpty())
        return m_profiles;
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

QStringList TCompletion::Candidates(const QStringList& words, int index) const
{
    index = qBound(0, index, int(words.size()));
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
        return startingWith(optionValues(pendingOption), current);

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
        return startingWith(argumentValues(command->Name, commandWords.mid(used)), current);
    QStringList next;
    for (const TCommandSpec& c : CommandSpecs()) {
        const QStringList parts = c.Name.split(u' ');
        if (parts.size() > commandWords.size() && parts.mid(0, commandWords.size()) == commandWords)
            next << parts[commandWords.size()];
    }
    return startingWith(next, current);
}
