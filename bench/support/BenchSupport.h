#pragma once

#include "InnServer.h"

#include <QString>

// Writes bytes of pseudo-random data to path, the same bytes for the same seed; false when a
// write failed.
bool WriteRandomFile(const QString& path, qint64 bytes, quint32 seed);

// Starts the private INN server a benchmark posts to. On failure it prints why and gives the
// benchmark's exit status: 2 when INN is not installed, 1 when it did not start; 0 when it runs.
int StartBenchInn(TInnServer& inn, const TInnServer::TOptions& options);
