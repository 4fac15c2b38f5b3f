#include "codec/YEncFileEncoder.h"

#include "codec/Crc32.h"
#include "codec/EUUCode.h"
#include "codec/OutputFile.h"
#include "codec/YEnc.h"
#include "codec/YEncEncoder.h"

#include <QFile>
#include <QFileInfo>

#include <optional>
#include <vector>

namespace {

// Input bytes per step: the input and its encoding stay in the processor's cache.
constexpr qint64 BlockSize = 128 * 1024;

// Reads until the buffer is full or the file ends.
qint64 readFully(QFile& input, char* data, qint64 size)
{
    qint64 total = 0;
    while (total < size) {
        const qint64 got = input.read(data + total, size - total);
        if (got < 0)
            throw EUUCode(QStringLiteral("Cannot read input file %1: %2")
                              .arg(input.fileName(), input.errorString()));
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

} // namespace

TYEncFileEncoder::TYEncFileEncoder(qint64 partSize, QByteArray eol)
    : m_partSize(partSize), m_eol(std::move(eol))
{
}

QString TYEncFileEncoder::PartFileName(const QString& outputFile, int number, int total)
{
    const int width = qMax(3, int(QString::number(total).size()));
    return outputFile + QLatin1Char('.') +
           QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

QStringList TYEncFileEncoder::Encode(const QString& inputFile, const QString& outputFile)
{
    if (inputFile.isEmpty())
        throw EUUCode(QStringLiteral("InputFileName is empty"));
    if (outputFile.isEmpty())
        throw EUUCode(QStringLiteral("OutputFileName is empty"));
    QFile input(inputFile);
    if (!input.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw EUUCode(
            QStringLiteral("Cannot open input file %1: %2").arg(inputFile, input.errorString()));
    const qint64 size = input.size();
    const bool parts = m_partSize > 0 && size > 0;
    const int total = parts ? int((size + m_partSize - 1) / m_partSize) : 0;
    if (parts && (size + m_partSize - 1) / m_partSize > 999999)
        throw EUUCode(QStringLiteral("%1 would make more than 999999 parts").arg(inputFile));
    const bool oneOutput = !parts || TOutputFile::IsDevice(outputFile);

    YEnc::TPart part;
    part.name = QFileInfo(inputFile).fileName();
    part.fileSize = size;
    part.total = total;
    std::vector<char> in(BlockSize);
    std::vector<char> out(TYEncEncoder::MaxEncodedSize(BlockSize, int(m_eol.size())));
    TYEncEncoder encoder(m_eol);
    quint32 fileCrc = 0;
    QStringList written;
    std::optional<TOutputFile> shared;
    if (oneOutput) {
        shared.emplace(outputFile);
        written << outputFile;
    }
    qint64 done = 0;
    for (int number = parts ? 1 : 0; number <= total; ++number) {
        part.number = number;
        part.begin = done;
        part.size = parts ? qMin(m_partSize, size - done) : size;
        std::optional<TOutputFile> own;
        if (!oneOutput) {
            written << PartFileName(outputFile, number, total);
            own.emplace(written.last());
        }
        TOutputFile& output = oneOutput ? *shared : *own;
        const QByteArray head = YEnc::BeginLines(part, m_eol);
        output.Write(head.constData(), head.size());
        encoder.Reset();
        qint64 left = part.size;
        do {
            const qint64 want = qMin(left, BlockSize);
            const qint64 got = readFully(input, in.data(), want);
            if (got < want)
                throw EUUCode(QStringLiteral("Cannot read input file %1: it became shorter "
                                             "while it was read")
                                  .arg(inputFile));
            left -= got;
            const qint64 length = encoder.Encode(reinterpret_cast<const uchar*>(in.data()), got,
                                                 out.data(), left == 0);
            output.Write(out.data(), length);
        } while (left > 0);
        fileCrc = parts ? Crc32::Combine(fileCrc, encoder.Crc(), part.size) : encoder.Crc();
        done += part.size;
        const bool endsFile = done == size;
        const QByteArray end = YEnc::EndLine(
            part, encoder.Crc(), endsFile ? std::optional<quint32>(fileCrc) : std::nullopt, m_eol);
        output.Write(end.constData(), end.size());
        if (own)
            own->Commit();
    }
    if (shared)
        shared->Commit();
    return written;
}
