#pragma once

#include "codec/par2/Gf16Region.h"

#include <QtGlobal>

#include <vector>

// Reed-Solomon recovery slices of consecutive exponents, summed from the input slices as
// they come: each input slice times its factor for each exponent, added in. The work on one
// batch of inputs is cut into chunks of the slice width, which can run on different cores:
// a chunk's recovery bytes stay in the core's cache while every input is added to them.
class TRecoveryEncoder
{
public:
    TRecoveryEncoder(qint64 sliceSize, int firstExponent, int count);

    // The next batch: count input slices from input index first, each sliceSize bytes (the
    // last padded with zeros), one after the other at data.
    void Prepare(int first, int count, const uchar* data);
    int Chunks() const;
    // Adds the batch into one chunk of every recovery slice.
    void AddChunk(int chunk);

    int FirstExponent() const { return m_firstExponent; }
    int Count() const { return m_count; }
    const uchar* Slice(int k) const { return m_slices.data() + qint64(k) * m_sliceSize; }

    static constexpr qint64 ChunkBytes = 8192;

private:
    qint64 m_sliceSize;
    int m_firstExponent;
    int m_count;
    std::vector<uchar> m_slices;
    std::vector<TGf16Factor> m_factors; // [recovery][input] of the batch
    const uchar* m_batch = nullptr;
    int m_batchCount = 0;
};
