#pragma once

#include "codec/par2/Md5.h"

#include <QByteArray>

#include <vector>

// The packets of a PAR2 2.0 recovery set, each a 64-byte header (magic, length, MD5 of the
// rest, set ID, type) and a body whose length is a multiple of 4; numbers little-endian.
namespace Par2Packets {

using TId = TMd5::TDigest;

// The checksums of one input slice, taken over the slice padded with zeros to full size.
struct TSliceSum
{
    TId Md5{};
    quint32 Crc = 0;
};

// What describes the one file of a set.
struct TFileFacts
{
    QByteArray Name; // the name alone, as the downloader will have it
    qint64 Length = 0;
    TId Md5{};
    TId Md5First16k{};
};

TId FileId(const TFileFacts& file);
// The main packet's body, whose MD5 is the set's ID. An empty file has no slices to recover
// and is described outside the recovery set.
QByteArray MainBody(qint64 sliceSize, const TId& fileId, bool recoverable);
QByteArray Main(const TId& setId, const QByteArray& mainBody);
QByteArray FileDescription(const TId& setId, const TFileFacts& file);
QByteArray SliceChecksums(const TId& setId, const TId& fileId, const std::vector<TSliceSum>& sums);
QByteArray Creator(const TId& setId, const QByteArray& text);
// The header and exponent of a recovery slice packet, which data (sliceSize bytes) follows.
QByteArray RecoveryHead(const TId& setId, quint32 exponent, const uchar* data, qint64 sliceSize);

} // namespace Par2Packets
