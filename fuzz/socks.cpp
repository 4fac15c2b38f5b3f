// A SOCKS5 proxy's replies as the client meets them: the bytes go into the handshake in pieces
// no larger than it asks for (sizes from the first byte), with a login offered or not (its
// lowest bit). The handshake must end in success or a message naming the proxy, never ask
// for more than a reply can hold, and on success have taken exactly the replies' bytes, so
// that what follows stays the server's.
#include "FuzzFiles.h"

#include "net/SocksHandshake.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzFiles::Init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool login = data[0] & 1;
    const int piece = 1 + (data[0] >> 1) % 16;
    TSocksHandshake handshake({"proxy.test", 1080, login ? "alice" : "", login ? "s3cret" : ""},
                              "news.example.invalid", 119);
    FuzzFiles::Check(handshake.Start().size() == (login ? 4 : 3), "the method offer");
    const char* in = reinterpret_cast<const char*>(data + 1);
    size_t left = size - 1;
    size_t taken = 0;
    while (left > 0 && !handshake.Done() && handshake.Error().isEmpty()) {
        const qint64 wanted = handshake.Wanted();
        FuzzFiles::Check(wanted > 0 && wanted <= 4 + 1 + 255 + 2, "a reply's size");
        const qint64 n = qMin<qint64>(qMin<qint64>(wanted, piece), qint64(left));
        handshake.Take(in, n);
        in += n;
        left -= size_t(n);
        taken += size_t(n);
    }
    if (!handshake.Error().isEmpty())
        FuzzFiles::Check(handshake.Error().startsWith("The SOCKS5 proxy proxy.test:1080 "),
                         "an error names the proxy");
    if (handshake.Done()) {
        // Method and login replies are two bytes each; the CONNECT reply's length follows its
        // address type.
        const uint8_t* reply = data + 1 + 2 + (login && data[2] == 2 ? 2 : 0);
        const size_t address = reply[3] == 1 ? 4 : reply[3] == 4 ? 16 : 1 + size_t(reply[4]);
        FuzzFiles::Check(taken == size_t(reply - data - 1) + 4 + address + 2,
                         "success takes exactly the replies");
    }
    if (!handshake.Done() && handshake.Error().isEmpty())
        FuzzFiles::Check(!handshake.ClosedText().isEmpty(), "a close is explained");
    return 0;
}
