#pragma once

#include <QtGlobal>

// CRC-32 with the IEEE polynomial (reflected, initial value and final XOR 0xFFFFFFFF), the
// checksum of yEnc, zip and PNG. Runs over big buffers at memory speed: carry-less multiply
// folding where the processor has it, slicing by eight bytes elsewhere.
namespace Crc32 {

// The checksum of the data following data already summed to crc (0 to start).
quint32 Update(quint32 crc, const void* data, qint64 size);

// The checksum of A followed by B from the checksums of A and of B and the length of B, so
// that parts summed alone give the checksum of the whole.
quint32 Combine(quint32 crcA, quint32 crcB, qint64 sizeB);

} // namespace Crc32
