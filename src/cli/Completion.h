#pragma once

#include <QString>
#include <QStringList>

// The words that may stand at one place of a quorvel-cli command line, for the shell's Tab:
// command words, options, profile names, setting names and the words a setting or an option
// takes. The bash completion asks the program itself ("quorvel-cli --complete INDEX WORD..."),
// so it offers what this very version understands. An empty answer leaves the shell to
// complete file names.
class TCompletion
{
public:
    explicit TCompletion(QStringList profiles);

    // words: the command line without the program name; index: the word being completed,
    // words.size() for a new one. The candidates start with what that word holds so far.
    QStringList Candidates(const QStringList& words, int index) const;

private:
    QStringList optionValues(const QString& option) const;
    QStringList argumentValues(const QString& command, const QStringList& arguments) const;

    QStringList m_profiles;
};
