// The yEnc encoder on a buffer in memory, for bench/yenc/run: the file's bytes encoded in
// slices of 128 KiB (as quorvel-uucode reads them) with the CRC-32, and the CRC-32 alone.
// Prints the median GB/s of each, elapsed and CPU.
#include "codec/Crc32.h"
#include "codec/YEnc.h"
#include "codec/YEncEncoder.h"

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

double seconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median GB/s over the runs, elapsed and CPU of this thread (steadier on a busy machine).
template <class F> std::pair<double, double> medianRates(qint64 bytes, int runs, F work)
{
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        const double w = seconds(CLOCK_MONOTONIC), c = seconds(CLOCK_THREAD_CPUTIME_ID);
        work();
        wall.push_back(double(bytes) / 1e9 / (seconds(CLOCK_MONOTONIC) - w));
        cpu.push_back(double(bytes) / 1e9 / (seconds(CLOCK_THREAD_CPUTIME_ID) - c));
    }
    return {median(wall), median(cpu)};
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
    const auto lines = medianRates(data.size(), runs, encode);
    const auto crc = medianRates(data.size(), runs,
                                 [&] { sink = Crc32::Update(0, data.constData(), data.size()); });
    std::printf("%.2f %.2f %.2f %.2f\n", lines.first, lines.second, crc.first, crc.second);
    return 0;
}
