#include "codec/par2/Par2Packets.h"

#include <QtEndian>

namespace {

constexpr qint64 HeaderSize = 64;

void putLe64(QByteArray& out, quint64 v)
{
    char b[8];
    qToLittleEndian(v, b);
    out.append(b, 8);
}

void putLe32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void putId(QByteArray& out, const Par2Packets::TId& id)
{
    out.append(reinterpret_cast<const char*>(id.data()), qsizetype(id.size()));
}

void padTo4(QByteArray& out)
{
    while (out.size() % 4 != 0)
        out.append('\0');
}

QByteArray type(const char (&name)[17])
{
    return QByteArray(name, 16);
}

// Header and body, the header's MD5 taken over the set ID, type and body (and any data
// that follows, when extra is given).
QByteArray packet(const Par2Packets::TId& setId, const QByteArray& kind, const QByteArray& body,
                  const uchar* extra = nullptr, qint64 extraSize = 0)
{
    QByteArray tail;
    putId(tail, setId);
    tail += kind;
    tail += body;
    TMd5 md5;
    md5.Add(tail);
    md5.Add(extra, extraSize);
    QByteArray out("PAR2\0PKT", 8);
    putLe64(out, quint64(HeaderSize + body.size() + extraSize));
    putId(out, md5.Finish());
    return out + tail;
}

} // namespace

namespace Par2Packets {

TId FileId(const TFileFacts& file)
{
    QByteArray data;
    putId(data, file.Md5First16k);
    putLe64(data, quint64(file.Length));
    data += file.Name;
    return TMd5::Of(data);
}

QByteArray MainBody(qint64 sliceSize, const TId& fileId, bool recoverable)
{
    QByteArray body;
    putLe64(body, quint64(sliceSize));
    putLe32(body, recoverable ? 1 : 0);
    putId(body, fileId);
    return body;
}

QByteArray Main(const TId& setId, const QByteArray& mainBody)
{
    return packet(setId, type("PAR 2.0\0Main\0\0\0\0"), mainBody);
}

QByteArray FileDescription(const TId& setId, const TFileFacts& file)
{
    QByteArray body;
    putId(body, FileId(file));
    putId(body, file.Md5);
    putId(body, file.Md5First16k);
    putLe64(body, quint64(file.Length));
    body += file.Name;
    padTo4(body);
    return packet(setId, type("PAR 2.0\0FileDesc"), body);
}

QByteArray SliceChecksums(const TId& setId, const TId& fileId, const std::vector<TSliceSum>& sums)
{
    QByteArray body;
    body.reserve(16 + 20 * qsizetype(sums.size()));
    putId(body, fileId);
    for (const TSliceSum& s : sums) {
        putId(body, s.Md5);
        putLe32(body, s.Crc);
    }
    return packet(setId, type("PAR 2.0\0IFSC\0\0\0\0"), body);
}

QByteArray Creator(const TId& setId, const QByteArray& text)
{
    QByteArray body = text;
    padTo4(body);
    return packet(setId, type("PAR 2.0\0Creator\0"), body);
}

QByteArray RecoveryHead(const TId& setId, quint32 exponent, const uchar* data, qint64 sliceSize)
{
    QByteArray body;
    putLe32(body, exponent);
    return packet(setId, type("PAR 2.0\0RecvSlic"), body, data, sliceSize);
}

} // namespace Par2Packets
