#pragma once

#include <QList>
#include <QString>

// One option a command accepts.
struct TOptionSpec
{
    QString Name;      // without the leading dashes
    QString ValueName; // empty for a switch
    QString Help;
    bool Required = false; // the command cannot run without it
};

// One command of the front end: its words, the arguments it takes and its options.
struct TCommandSpec
{
    QString Name;      // "post", "groups download"
    QString Arguments; // as shown in the usage, e.g. "FILE..."
    QString Help;
    int MinArguments = 0;
    int MaxArguments = 0; // -1: any number
    QList<TOptionSpec> Options;
    QString Example; // one whole command line, as its help shows it

    const TOptionSpec* FindOption(const QString& name) const;
};

// Every command, in the order the usage lists them.
const QList<TCommandSpec>& CommandSpecs();
// The options every command accepts.
const QList<TOptionSpec>& GlobalOptions();
// Whether word starts commands ("groups" for "groups list", ...).
bool IsCommandArea(const QString& word);
