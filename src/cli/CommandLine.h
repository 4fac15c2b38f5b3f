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
    TCliRequest Request;
    QString ErrorText;
};

// Turns the arguments (without the program name) into a request, checking every option
// and argument count against the command table, so that a command starts only with
// input it understands.
class TCommandLine
{
public:
    static TParseOutcome Parse(const QStringList& args);
    static QString Usage();
};
