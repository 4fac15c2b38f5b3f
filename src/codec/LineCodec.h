#pragma once

#include <QtGlobal>

// The three line encodings of the file encoder, shared by TUUCode and the streamed article
// body. Table-driven so that encoding and decoding run over big buffers at memory speed.
namespace LineCodec {

enum class Kind
{
    uu,
    xx,
    base64
};

// Input bytes of one full line: 45 for uu and xx, 57 for base64.
int BytesPerLine(Kind kind);
// Longest encoded line without line end: 61 for uu and xx, 76 for base64.
int MaxLineChars(Kind kind);
// The alphabet character of a 6-bit value.
char Char(Kind kind, int value);

// Encodes count bytes (at most BytesPerLine) as one line without line end: the length
// character for uu and xx, then groups of four characters. A last group of one or two bytes
// gives two or three characters in uu, and is padded to four in xx (with "+", the value 0)
// and base64 (with "="). Returns the number of characters written.
int EncodeLine(Kind kind, const uchar* in, int count, char* out);

// Encodes count full lines (BytesPerLine bytes each) with a line end after each and returns
// the number of characters written. Writes up to 16 characters past the output it reports
// (the output needs that slack) and reads no byte past the input. Uses the processor's
// vector instructions for uu where it has them.
qint64 EncodeFullLines(Kind kind, const uchar* in, qint64 count, char* out, const char* eol,
                       int eolLength);

// Decodes a full uu line ("M" and 60 characters 32 to 96, given without line end) into 45
// bytes where the processor has the vector instructions; false for any other line, which
// DecodeLine then handles. Reads 4 bytes past the line and writes up to 16 bytes past the
// 45: both buffers need that slack.
bool DecodeFullUULine(const char* line, int length, uchar* out);

// Decodes one line given without its line end and appends the bytes to out (room for
// 3 * (length / 4 + 1) bytes; for uu and xx never more than 63 whatever the length).
// Accepts what this encoder writes and what common tools write: the length character of uu
// and xx caps the bytes taken, so padded last groups give back only the bytes they stand
// for; in base64 "=" ends the data. Returns the number of bytes written.
int DecodeLine(Kind kind, const char* line, int length, uchar* out);

} // namespace LineCodec
