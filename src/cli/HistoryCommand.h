#pragma once

#include <QList>
#include <QString>

class TTerminal;
struct THistoryEntry;

// 'history': every batch posted, one entry a line (or one JSON object a line with --json),
// read from the journals and NZB files of the data folder.
namespace HistoryCommand {

// The entries' text for a person (json false) or for a script.
QString Text(const QList<THistoryEntry>& entries, bool json);

} // namespace HistoryCommand
