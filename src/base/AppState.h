#pragma once

#include "base/CommandState.h"
#include "base/ProfileSettings.h"

#include <QString>

// The program-wide state: where the data files live, the current profile and its settings,
// the name of the operation that ran last (logged when something fails unexpectedly), and
// the busy cursor and switched commands that the window follows.
struct TAppState
{
    QString ProgramDir; // with a trailing separator
    QString ProfileName = QStringLiteral("Default");
    QString ProfileKey;
    QString NewsrcPath;
    QString VersionText;
    ProfileSettings Settings;
    TCommandState Commands;

    void SetProfile(const QString& name);
    QString DataFile(const QString& fileName) const { return ProgramDir + fileName; }
    QString TaskFilePath() const { return DataFile(QStringLiteral("qvtasks.qv")); }

    // The name of the operation that ran last: each operation names itself as it starts,
    // the last-resort error handler reads it.
    const QString& CurrentProcName() const { return m_currentProcName; }
    void SetCurrentProcName(const QString& name) { m_currentProcName = name; }

private:
    QString m_currentProcName;
};

// Why name cannot name a profile, empty when it can. The name becomes part of a file name
// (newsrc.NAME) and a settings group: an empty name would stand for every group, a slash
// or backslash points into another folder or nests the group, a control character breaks
// both.
QString ProfileNameProblem(const QString& name);

// The program folder: QUORVEL_HOME when set, else the executable's folder when it is a
// portable copy's (writable, and not a folder the system's software lives in), else the
// per-user data folder. Always ends with a separator; created when missing.
QString ResolveProgramDir();
// The same choice with its inputs given: home is QUORVEL_HOME, exeDir the executable's
// folder, dataDir the per-user data folder.
QString ChooseProgramDir(const QString& home, const QString& exeDir, const QString& dataDir);
// Whether dir (after following links) lies where installed software lives: /usr (with
// /usr/local), /opt, /bin, /sbin, /lib, /snap, /nix/store or a Flatpak's /app. A program
// there keeps no data beside itself, even when the folder is writable (run as root).
bool IsInstalledProgramDir(const QString& dir);
QString BuildVersionText();
