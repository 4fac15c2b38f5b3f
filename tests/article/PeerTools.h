#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Small helpers for the article tests: files, reproducible data and the command-line peers.
namespace PeerTools {

QByteArray RandomBytes(qint64 size, quint32 seed);
void WriteFile(const QString& path, const QByteArray& data);
QByteArray ReadFile(const QString& path);
// Whether a peer program is installed.
bool Have(const QString& program);
// Runs a peer in the folder; returns its exit code (-1 when it did not finish). Standard
// output goes to outputFile when one is given, else it is dropped with standard error.
int Run(const QString& program, const QStringList& arguments, const QString& folder,
        const QString& outputFile = QString());
// An article header block before encoded text: uudeview only finds small encoded files
// inside a message.
QByteArray AsMessage(const QByteArray& encoded);

} // namespace PeerTools
