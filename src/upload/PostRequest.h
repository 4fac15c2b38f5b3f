#pragma once

#include "article/EncodedBody.h"
#include "base/ProfileSettings.h"
#include "upload/RecoverySetting.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One post as its caller chose it: which files go to which groups, under what From and
// subject, and how (template, lines per part, cross-posting, include text, disconnecting
// when done, how a binary file is encoded). The window fills it from its controls, the terminal
// from its arguments. The login and the Reply-To and Organization lines stay the profile's.
struct TPostRequest
{
    QString Folder;     // the files' folder
    QStringList Files;  // the files, top to bottom (the name after the folder is taken)
    QStringList Groups; // in row order
    QString From;
    QString Subject;
    QString Catalog; // a files.bbs catalog; the user is asked for one when empty

    QString Template;
    QString SigFile;
    QString Host;
    qint16 Timeout = 0;
    qint16 PostTimeout = 0;
    qint32 MaxLines = 0;
    TBodyEncoding Encoding = TBodyEncoding::UUEncode;
    bool CrossPost = true;
    bool IncludeText = false;
    // The include text's lines; the user is asked for them when IncludeText and none given.
    std::optional<QStringList> IncludeLines;
    bool DisconnectWhenDone = true;
    TRecoverySetting Recovery; // the PAR2 set posted after each file

    // True while From still carries the example address older profiles started with (nobody's,
    // which no post should go out under), or holds no address at all, as a new profile's
    // empty From does.
    bool HasPlaceholderFrom() const
    {
        return From.contains(ProfileSettings().EmailAddress, Qt::CaseInsensitive) ||
               !From.contains(u'@');
    }

    // Why the subject cannot be posted: a control character (a line break, a tab, an escape)
    // would break the subject line; empty when it can.
    QString SubjectError() const
    {
        for (const QChar c : Subject)
            if (c.category() == QChar::Other_Control)
                return QStringLiteral("the subject holds a control character (U+%1): a subject "
                                      "is one line of text")
                    .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0'));
        return QString();
    }

    // The profile's choice of how to post; what and where are left to the caller.
    static TPostRequest FromSettings(const ProfileSettings& s)
    {
        TPostRequest r;
        r.Template = s.Template;
        r.SigFile = s.SigFile;
        r.Host = s.Host;
        r.Timeout = s.Timeout;
        r.PostTimeout = s.PostTimeout;
        r.MaxLines = s.MaxLines;
        r.Encoding = BodyEncodingFromText(s.Encoding);
        r.CrossPost = s.CrossPost;
        r.IncludeText = s.IncludeText;
        r.DisconnectWhenDone = s.DisconnectWhenDone;
        r.Recovery = TRecoverySetting::FromSettings(s);
        return r;
    }
};
