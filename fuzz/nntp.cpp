// A news server's replies as a byte stream, split at random points: the client's line
// socket cuts it into lines, which go through the client's reply parser (status lines) and
// its multi-line answer reader (LIST and NEWGROUPS: group lines up to "."). The lines handed
// out, with their CR LF, are the stream up to its last CR LF; a line longer than the read
// buffer ends the connection with the buffer's error instead.
//
// The first four bytes seed the split points; the socket reads from one end of a socket
// pair, so the bytes take the same path as from a server.
#include "FuzzFiles.h"

#include "net/BufferedSocketException.h"
#include "net/LineSocket.h"
#include "net/SockError.h"
#include "net/bcsNNTP.h"

#include <sys/socket.h>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzFiles::Init(argc, argv);
    return 0;
}

namespace {

class TFuzzSocket : public TLineSocket
{
public:
    TFuzzSocket() : TLineSocket(nullptr)
    {
        SetReadBufferSize(1024); // the news client's
        SetLineOptions(lsoAutoFlushAfterWrite | lsoLineReceivedEvents);
        SetLineType(lstCRLF);
    }
    void Take(int handle) { Adopt(handle, ssConnected); }
    void Readable() { HandleReadable(); }
};

// What the news client does with each line: a status reply, or a line of a group list.
struct TClientModel
{
    bool inList = false;
    int groups = 0;

    void Line(const QByteArray& line)
    {
        if (inList) {
            if (line == ".") {
                inList = false;
                return;
            }
            const QString group = TbcsNNTP::GroupOfLine(line);
            FuzzFiles::Check(!group.contains(QLatin1Char(' ')), "a group name has no blank");
            groups += !group.isEmpty();
            return;
        }
        int code = -1;
        QString text;
        const QString reply = QString::fromUtf8(line);
        if (!TbcsNNTP::ParseReplyLine(reply, code, text))
            return;
        FuzzFiles::Check(code >= 0 && code <= 999 && reply.endsWith(text),
                         "a reply is a three-digit code and the text of the line");
        inList = code == 215 || code == 231;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    quint32 seed =
        quint32(data[0]) | quint32(data[1]) << 8 | quint32(data[2]) << 16 | quint32(data[3]) << 24;
    const QByteArray stream = FuzzFiles::Bytes(data + 4, size - 4);

    int pair[2];
    FuzzFiles::Check(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, pair) == 0,
                     "a socket pair");
    TFuzzSocket socket;
    socket.Take(pair[0]);
    TClientModel client;
    QByteArray received;
    QObject::connect(&socket, &TLineSocketBase::OnLineReceived,
                     [&](TLineSocketBase*, const QByteArray& line, bool) {
                         received += line + "\r\n";
                         client.Line(line);
                     });
    bool refused = false;
    for (qsizetype at = 0; at < stream.size() && !refused;) {
        seed = seed * 1103515245u + 12345u;
        const qsizetype chunk = std::min<qsizetype>(1 + (seed >> 16) % 700, stream.size() - at);
        FuzzFiles::Check(::write(pair[1], stream.constData() + at, size_t(chunk)) == chunk,
                         "the pair takes the chunk");
        at += chunk;
        try {
            socket.Readable();
        } catch (const EBufferedSocketException&) {
            refused = true; // the line is longer than the read buffer
        }
    }
    ::close(pair[1]);
    if (!refused) {
        const qsizetype end = stream.lastIndexOf("\r\n");
        FuzzFiles::Check(received == stream.left(end < 0 ? 0 : end + 2),
                         "the lines are the stream up to its last CR LF");
    } else {
        FuzzFiles::Check(stream.startsWith(received),
                         "the lines before the refusal are the stream's");
    }
    return 0;
}
