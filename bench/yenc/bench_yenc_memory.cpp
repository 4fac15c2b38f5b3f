// The yEnc encoder on a buffer in memory, for bench/yenc/run: the file's bytes encoded in
// slices of 128 KiB (as quorvel-uucode reads them) with the CRC-32, and the CRC-32 alone.
// Prints the median GB/s of each.
#include "codec/Crc32.h"
#include "codec/YEnc.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

template <class F> double medianRate(qint64 bytes, int runs, F work)
{
    std::vector<double> rates;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double, std::nano> spent =
            std::chrono::steady_clock::now() - start;
        rates.push_back(double(bytes) / spent.count());
    }
    std::sort(rates.begin(), rates.end());
    return rates[rates.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_yenc_memory FILE [runs]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray data = file.readAll();
    const auto* in = reinterpret_cast<const uchar*>(data.constData());
    constexpr qint64 Slice = 128 * 1024;
    std::vector<char> out(TYEncEncoder::MaxEncodedSize(data.size()));
    volatile quint32 sink = 0;
    const auto encode = [&] {
        TYEncEncoder encoder;
        qint64 written = 0;
        for (qint64 at = 0; at < data.size(); at += Slice) {
            const qint64 n = std::min(Slice, data.size() - at);
            written += encoder.Encode(in + at, n, out.data() + written, at + n == data.size());
        }
        sink = encoder.Crc();
    };
    encode(); // warm up (pages of the output)
    const double lines = medianRate(data.size(), runs, encode);
    const double crc = medianRate(data.size(), runs,
                                  [&] { sink = Crc32::Update(0, data.constData(), data.size()); });
    std::printf("%.2f %.2f\n", lines, crc);
    return 0;
}
