#include "PeerTools.h"
#include "TestFiles.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>

namespace PeerTools {

QByteArray RandomBytes(qint64 size, quint32 seed)
{
    return TestFiles::Random(size, seed);
}

void WriteFile(const QString& path, const QByteArray& data)
{
    if (!TestFiles::Write(path, data))
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray ReadFile(const QString& path)
{
    return TestFiles::Read(path, QByteArray("<missing ") + path.toUtf8() + '>');
}

bool Have(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

int Run(const QString& program, const QStringList& arguments, const QString& folder,
        const QString& outputFile)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(outputFile.isEmpty() ? QProcess::nullDevice() : outputFile);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QByteArray AsMessage(const QByteArray& encoded)
{
    return "From: tester@example.invalid\nSubject: test\nNewsgroups: alt.test\n\n" + encoded;
}

} // namespace PeerTools
