#pragma once

#include <QtGlobal>

// Decodes yEnc data lines fed in slices of any size, up to a line that starts with "=y" (the
// =yend line, or the next =ybegin of a damaged part). Safe for any input: every byte that is
// neither a line end nor an escape gives one byte, so the output never exceeds the input.
class TYEncDecoder
{
public:
    struct TResult
    {
        qint64 consumed = 0; // input bytes used; the rest must be fed again with more
        qint64 written = 0;
        bool keyword = false; // stopped at "=y" at a line start, which is the next input
    };

    // out needs room for size + 64 bytes. Fewer bytes consumed than given and no keyword:
    // the slice ended in "=" at a line start; feed the rest again with the next slice.
    TResult Decode(const char* data, qint64 size, uchar* out);
    // Starts at a line start with no escape pending.
    void Reset();

private:
    bool m_lineStart = true;
    bool m_escape = false;
};
