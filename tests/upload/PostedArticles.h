#pragma once

#include "NntpReader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// Reading back what the upload tests posted to a news server, and handing it to the peers
// that decode it.
namespace PostedArticles {

// The articles of the group on the server at port whose subject contains marker, in the
// order of the part numbers "(k/n)" in their subjects.
QList<TNntpReader::TArticle> Fetch(quint16 port, QByteArrayView group, const QByteArray& marker);
// The part number k of a subject "... (k/n) ...", 0 without one.
int PartOf(const QByteArray& subject);
// The article as a file holds it: header lines, an empty line and the body, each line ending
// in LF.
QByteArray Text(const TNntpReader::TArticle& article);
// Runs a peer program and returns its exit code, -1 when it did not finish in time; output
// gets what it wrote to standard output and standard error.
int RunTool(const QString& program, const QStringList& arguments, QString* output);
// An NZBGet configuration that keeps everything in dir and fetches from the news server at
// port on 127.0.0.1, checking CRCs and repairing with the PAR2 files an NZB lists.
QByteArray NzbgetConf(const QString& dir, quint16 port);

} // namespace PostedArticles
