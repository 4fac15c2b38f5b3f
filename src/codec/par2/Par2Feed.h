#pragma once

#include "codec/ByteSink.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// A file's bytes handed to the PAR2 creator by the reader that posts the file, so that the
// file is read once. The reader copies what it reads, in order from the start, into buffers
// of the creator's batch size, which the creator takes whole on its own thread. The feed ends
// when a read is not the next in order (a part read out of turn), when more buffers wait than
// the memory budget allows (the creator is behind), or when the reader lets go before the end:
// the creator then reads the rest of the file itself, from where the feed stopped. The reader
// never waits for the creator.
class TPar2Feed : public TByteSink
{
public:
    struct TBuffer
    {
        std::unique_ptr<uchar[]> Data; // null: the feed has ended, nothing more comes
        qint64 Bytes = 0;              // of the batch, fewer only at the feed's end
    };

    TPar2Feed(qint64 fileSize, qint64 bufferBytes, int maxWaiting);

    void Read(qint64 offset, const char* data, qint64 size) override;
    void End() override;

    // The creator's side: the next batch's buffer, waiting for it as long as the feed runs.
    TBuffer Take();
    // A buffer the creator is through with, for the reader to fill again.
    void Give(TBuffer buffer);
    // Whether the feed was made for a file of this size in buffers of this size.
    bool Fits(qint64 fileSize, qint64 bufferBytes) const
    {
        return fileSize == m_fileSize && bufferBytes == m_bufferBytes;
    }
    // Bytes received in order so far.
    qint64 Received() const;

private:
    void endLocked();
    void pushCurrent();

    const qint64 m_fileSize;
    const qint64 m_bufferBytes;
    const int m_maxWaiting;
    mutable std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<TBuffer> m_waiting;
    std::vector<std::unique_ptr<uchar[]>> m_spare;
    TBuffer m_current;
    qint64 m_received = 0;
    bool m_ended = false;
};
