#pragma once

#include <QString>

// The subject line of one article of an upload, built from the profile's template.
class TSubjectLine
{
public:
    // Replaces "%s", "%f", "%p", "%t" and "%b", in that order and each only at its first
    // occurrence in the text as the earlier replacements left it, by the subject text, the
    // file's name, the part number, the total number of parts and the file's size in bytes.
    // name, when given, stands for %f in place of the file's own name (a path below the
    // folder posted).
    static QString BuildSubjectLine(const QString& tmpl, const QString& subject,
                                    const QString& path, qint64 part, qint64 total,
                                    const QString& name = QString());
    // The file's size in bytes as the directory entry gives it; 0 when it cannot be found.
    static qint64 GetSize(const QString& path);
    // The template downloaders expect with yEnc: they take the file's name from the quotes.
    static QString YEncTemplate() { return QStringLiteral("%s - \"%f\" yEnc (%p/%t) %b"); }
};
