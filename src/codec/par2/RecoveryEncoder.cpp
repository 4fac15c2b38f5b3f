#include "codec/par2/RecoveryEncoder.h"

#include "codec/par2/Gf16.h"
#include "codec/par2/Parallel.h"

#include <algorithm>

TRecoveryEncoder::TRecoveryEncoder(qint64 sliceSize, int firstExponent, int count)
    : m_sliceSize(sliceSize), m_firstExponent(firstExponent), m_count(count),
      m_slices(size_t(sliceSize * count), 0)
{
}

void TRecoveryEncoder::Prepare(int first, int count, const uchar* data)
{
    m_batch = data;
    m_batchCount = count;
    m_factors.resize(size_t(m_count) * size_t(count));
    // The tables of a batch take as long as a good part of its multiplying: on every core.
    RunParallel(m_count, [&](int r) {
        for (int s = 0; s < count; ++s)
            m_factors[size_t(r) * size_t(count) + size_t(s)] =
                TGf16Factor(Gf16::Factor(first + s, quint32(m_firstExponent + r)));
    });
}

int TRecoveryEncoder::Chunks() const
{
    return int((m_sliceSize + ChunkBytes - 1) / ChunkBytes);
}

void TRecoveryEncoder::AddChunk(int chunk)
{
    const qint64 offset = qint64(chunk) * ChunkBytes;
    const qint64 bytes = std::min(ChunkBytes, m_sliceSize - offset);
    for (int r = 0; r < m_count; ++r) {
        uchar* dst = m_slices.data() + qint64(r) * m_sliceSize + offset;
        const TGf16Factor* factors = m_factors.data() + size_t(r) * size_t(m_batchCount);
        for (int s = 0; s < m_batchCount; ++s)
            factors[s].MulAdd(dst, m_batch + qint64(s) * m_sliceSize + offset, bytes);
    }
}
