#pragma once

#include <QString>

// The settings of one profile, one field per stored value, with the defaults a missing
// value takes. Passwords are plain text here; they are scrambled only in the store.
struct ProfileSettings
{
    QString EmailAddress = QStringLiteral("poster@example.com");
    QString FullName = QStringLiteral("Quorvel User");
    QString Organization;
    QString ReplyTo;
    bool LoginRequired = false;
    QString UserID;
    bool RememberPassword = false;
    QString Password;
    QString Host = QStringLiteral("localhost");
    qint16 Timeout = 60;
    qint16 PostTimeout = 30;
    bool DisconnectWhenDone = true;
    QString Template = QStringLiteral("%s - %f (%p/%t) %b Bytes");
    QString LastSubject = QStringLiteral("Type Subject Here");
    bool IncludeText = false;
    QString SigFile;
    QString LastDir; // defaults to the program folder, known only at run time
    bool CrossPost = true;
    qint32 MaxLines = 0;
    QString LastUpdate;
    bool AutoStart = true;
    bool RASOpenBefore = false;
    bool RASUseAnotherConnection = true;
    QString RASConnection;
    QString RASUserName;
    QString RASPassword;
    bool RASCloseConnectionAfter = false;
    bool SaveRasPassword = false;
};
