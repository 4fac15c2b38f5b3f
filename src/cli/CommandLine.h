#pragma once

#include "cli/CliRequest.h"

#include <QString>
#include <QStringList>

// What the command line asks for.
struct TParseOutcome
{
    enum Kind
    {
        Run,
        Help,
        Version,
        Error,
    };
    Kind What = Error;
    TCliRequest Request; // for Help and Error, Command names the command concerned, if any

    QString ErrorText;
};

// Turns the arguments (without the program name) into a request, checking every option
// and argument count against the command table, so that a command starts only with
// input it understands.
class TCommandLine
{
public:
    static TParseOutcome Parse(const QStringList& args);
    // The whole help: general options, every command, the exit statuses.
    static QString Usage();
    // The help of one command ("post"), of the commands of an area ("groups"), else Usage().
    static QString Help(const QString& command);
    // The line after a usage error, pointing to the help of the command when known.
    static QString TryHelp(const QString& command);
};
