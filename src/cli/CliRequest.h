#pragma once

#include <QMultiMap>
#include <QString>
#include <QStringList>

// One parsed command line: the options that hold for every command, the command itself
// ("post", "groups download", ...), its own options and its arguments.
struct TCliRequest
{
    QString Profile = QStringLiteral("Default");
    bool AssumeYes = false;
    bool Verbose = false;

    QString Command;
    QStringList Arguments;
    QMultiMap<QString, QString> Options; // name without dashes -> value ("" for a switch)

    bool Has(const QString& name) const { return Options.contains(name); }
    // The last value given, so a later option overrides an earlier one.
    QString Value(const QString& name) const { return Options.value(name); }
    // Every value given, in command-line order.
    QStringList Values(const QString& name) const;
};
