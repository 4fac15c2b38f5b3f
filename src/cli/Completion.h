#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The words that may stand at one place of a quorvel-cli command line, for the shell's Tab:
// command words, options, profile names, setting names, the servers of the profile the line
// names (--profile, else Default) and the words a setting or an option takes. The bash completion
// asks the program itself ("quorvel-cli --complete INDEX WORD..."), so it offers what this very
// version understands. An empty answer leaves the shell to complete file names.
class TCompletion
{
public:
    // The names of a profile's servers, its own first.
    using TServerNames = std::function<QStringList(const QString& profile)>;

    explicit TCompletion(QStringList profiles, TServerNames servers = {});

    // words: the command line without the program name; index: the word being completed,
    // words.size() for a new one. The candidates start with what that word holds so far.
    QStringList Candidates(const QStringList& words, int index) const;

private:
    QStringList optionValues(const QString& option, const QString& profile) const;
    QStringList argumentValues(const QString& command, const QStringList& arguments,
                               const QString& profile) const;
    QStringList serverFieldValues(const QStringList& arguments) const;
    QStringList servers(const QString& profile) const;

    QStringList m_profiles;
    TServerNames m_servers;
};
