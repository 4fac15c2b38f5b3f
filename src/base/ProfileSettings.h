#pragma once

#include "base/ServerEntry.h"

#include <QList>
#include <QString>

// Every setting of a profile, one line each: type, name as stored, default a missing value
// takes, whether it is a password (scrambled in the store, masked when shown, changed only by
// "profile set-password") and, for a number narrower than its type, the lowest and highest
// value it takes. Read, save and the terminal's "profile set" all go by this list
// (SettingFields()), in this order. Passwords are plain text in ProfileSettings; they
// are kept in the desktop's keyring where one answers, else scrambled in the store.
#define QUORVEL_PROFILE_SETTINGS(X)                                                                \
    X(QString, EmailAddress, QStringLiteral("poster@example.com"), false)                          \
    X(QString, FullName, QStringLiteral("Quorvel User"), false)                                    \
    X(QString, Organization, QString(), false)                                                     \
    X(QString, ReplyTo, QString(), false)                                                          \
    X(bool, LoginRequired, false, false)                                                           \
    X(QString, UserID, QString(), false)                                                           \
    X(bool, RememberPassword, false, false)                                                        \
    X(QString, Password, QString(), true)                                                          \
    X(QString, Host, QStringLiteral("localhost"), false)                                           \
    X(qint16, Timeout, 60, false, 0, 32767)     /* 0: none */                                      \
    X(qint16, PostTimeout, 30, false, 0, 32767) /* 0: none */                                      \
    X(bool, DisconnectWhenDone, true, false)                                                       \
    X(QString, Template, QStringLiteral("%s - %f (%p/%t) %b Bytes"), false)                        \
    X(QString, LastSubject, QStringLiteral("Type Subject Here"), false)                            \
    X(bool, IncludeText, false, false)                                                             \
    X(QString, SigFile, QString(), false)                                                          \
    X(QString, LastDir, QString(), false) /* the home folder, known only at run time */            \
    X(bool, CrossPost, true, false)                                                                \
    X(qint32, MaxLines, 0, false, 0, 2147483647) /* 0: files are not split */                      \
    X(QString, LastUpdate, QString(), false)                                                       \
    X(bool, AutoStart, true, false)                                                                \
    X(bool, RASOpenBefore, false, false)                                                           \
    X(bool, RASUseAnotherConnection, true, false)                                                  \
    X(QString, RASConnection, QString(), false)                                                    \
    X(QString, RASUserName, QString(), false)                                                      \
    X(QString, RASPassword, QString(), true)                                                       \
    X(bool, RASCloseConnectionAfter, false, false)                                                 \
    X(bool, SaveRasPassword, false, false)                                                         \
    X(QString, Security, QStringLiteral("none"), false) /* none, tls, starttls */                  \
    X(QString, TrustedAuthorities, QString(), false)    /* a PEM file beside the system's */       \
    X(QString, TrustedFingerprint, QString(), false) /* SHA-256 of a certificate trusted as is */  \
    X(QString, ServerName, QString(), false)         /* empty: the server is named by its host */  \
    X(QString, ServerRole, QStringLiteral("post"), false) /* post, check, both */                  \
    X(qint16, ServerPriority, 0, false, 0, 999)           /* among post servers: lower first */    \
    X(QString, ProxyHost, QString(), false)               /* SOCKS5 proxy; empty: none */          \
    X(qint32, ProxyPort, 1080, false, 1, 65535)                                                    \
    X(QString, ProxyUser, QString(), false)                                                        \
    X(QString, Encoding, QStringLiteral("uuencode"), false)      /* uuencode, yenc */              \
    X(QString, TextCharset, QStringLiteral("ISO-8859-1"), false) /* 8-bit text not in UTF-8 */     \
    X(QString, MessageIdDomain, QStringLiteral("quorvel.invalid"), false) /* names no one */       \
    X(QString, NzbFolder, QString(), false) /* empty: "nzb" in the data folder */                  \
    X(bool, CheckAfterPost, true, false)    /* STAT every article of a batch once it is through */ \
    X(qint16, CheckDelay, 5, false, 0, 3600)        /* seconds before each round of checking */    \
    X(qint16, CheckRounds, 2, false, 1, 100)        /* asking again for what was not found */      \
    X(qint16, CheckServerDelay, 30, false, 0, 3600) /* on a check server: time to propagate */     \
    X(qint16, Par2Percent, 0, false, 0, 100)        /* recovery data per file; 0: none */          \
    X(qint16, Par2Files, 0, false, 0, 1000)        /* recovery files per file; 0: as par2 makes */ \
    X(qint16, Par2FileMB, 0, false, 0, 9999)       /* largest recovery file; 0: no limit */        \
    X(qint16, Par2MemoryMB, 256, false, 16, 16384) /* recovery data made at once; more: reread */  \
    X(qint16, PostRetries, 0, false, 0, 100)       /* after a passing failure; 0: stop and save */ \
    X(qint16, Connections, 1, false, 1, 32)        /* posting over this many at once */            \
    X(qint32, SpeedLimit, 0, false, 0, 2147483647) /* KB per second over all; 0: none */           \
    X(QString, WatchPosted, QStringLiteral("move"), false) /* watch: move, remember */

// The settings of one profile, one field per stored value, with the defaults a missing
// value takes.
struct ProfileSettings
{
#define QUORVEL_SETTING_FIELD(type, name, value, secret, ...) type name = value;
    QUORVEL_PROFILE_SETTINGS(QUORVEL_SETTING_FIELD)
#undef QUORVEL_SETTING_FIELD
    // The profile's further servers after the one the fields above describe, and the
    // password of that server's proxy: kept beside the table by TServerListStore, in keys a
    // profile with one server and no proxy login never writes.
    QList<TServerEntry> FurtherServers;
    QString ProxyPassword;
};

// The From line the profile posts under: "address (Full Name)", the address alone without a
// name, empty without an address.
QString FromLine(const ProfileSettings& settings);

// The values a profile starts with when the store holds nothing for it yet (a first start, a
// profile made in the window or by the terminal, the implicit Default), for every front end.
// They differ from the defaults above only where a new user is better served than a stored
// profile's missing value: yEnc parts of about 700 KB (5600 lines of 128 bytes) with a subject
// downloaders recognise, four connections, two retries after a passing failure, the check
// after posting, and no example name or address (the window shows placeholders; a post
// without an address is refused).
ProfileSettings NewProfileSettings();
