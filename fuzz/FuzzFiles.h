#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What the fuzz targets share: the application object some Qt classes need, and a scratch
// folder (in /dev/shm when there is one) for the readers that take a file.
namespace FuzzFiles {

// Creates the application object once; call from LLVMFuzzerInitialize.
void Init(int* argc, char*** argv);
// The scratch folder, emptied: every run starts from nothing.
QString FreshFolder();
// Writes data to name in the scratch folder and returns its path.
QString Write(const QString& name, const QByteArray& data);
QByteArray Bytes(const uint8_t* data, size_t size);
// Stops the run (libFuzzer saves the input) when a property does not hold.
void Check(bool holds, const char* what);

} // namespace FuzzFiles
