#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// How much recovery data to make for a file.
struct TRecoveryRequest
{
    QString File;         // the file to protect
    QString WorkFolder;   // where the recovery files go (made when missing)
    int Percent = 0;      // redundancy, 1..100
    int FileCount = 0;    // recovery files; 0: as par2 chooses
    qint64 FileLimit = 0; // bytes per recovery file at most, which sets FileCount; 0: none
};

// Makes a file's PAR2 recovery set with par2cmdline, run as a child process, while the event
// loop goes on: its progress output becomes Progress, Cancel ends it (by its process id) and
// removes what it wrote. Nothing is left behind after a failure either: a set is whole or
// absent.
class TPar2Maker : public QObject
{
    Q_OBJECT

public:
    explicit TPar2Maker(QObject* parent = nullptr);
    ~TPar2Maker() override;

    // The program to run (tests point it elsewhere).
    void SetProgram(const QString& program) { m_program = program; }
    // Starts making the set; Finished reports the end (at once when it cannot start).
    void Start(const TRecoveryRequest& request);
    void Cancel();
    bool IsRunning() const { return m_process != nullptr; }
    // The set made: the index file first, then the recovery volumes in order.
    const QStringList& Files() const { return m_files; }
    // Removes the files of the set (when its task ends, whatever the outcome).
    void RemoveFiles();

    // Bytes the set needs on disk, with room to spare.
    static qint64 SpaceNeeded(qint64 fileSize, int percent);
    // How many recovery files of equal size keep each within limit bytes: par2 cuts a file
    // into 2000 blocks, and each recovery file holds its blocks and copies of the checksums
    // of all the file's blocks. One block per file when the limit cannot be kept.
    static int FilesWithin(qint64 fileSize, int percent, qint64 limit);

signals:
    void Progress(int percent, const QString& text);
    void Finished(bool ok, const QString& error);

private:
    void readOutput();
    void processFinished(int exitCode, QProcess::ExitStatus status);
    void fail(const QString& error);
    QStringList setFiles() const;

    QString m_program = QStringLiteral("par2");
    std::unique_ptr<QProcess> m_process;
    TRecoveryRequest m_request;
    QString m_indexPath;
    QByteArray m_pending;    // output not yet split into lines
    QStringList m_lastLines; // the last lines that were not progress, for a failure
    QStringList m_files;
    int m_percent = -1;
};
