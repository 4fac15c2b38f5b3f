#include "upload/ArticleBodyCheck.h"

#include "codec/Crc32.h"
#include "codec/YEncDecoder.h"

#include <QByteArray>

#include <optional>

namespace {

// The value of "name=" on a yEnc keyword line, none when it is not there.
std::optional<QByteArray> field(const QByteArray& line, const QByteArray& name)
{
    for (const QByteArray& word : line.split(' '))
        if (word.startsWith(name + '='))
            return word.mid(name.size() + 1);
    return std::nullopt;
}

} // namespace

QString ArticleBodyCheck::Damage(const QByteArrayList& lines)
{
    qsizetype at = 0;
    while (at < lines.size() && !lines[at].startsWith("=ybegin "))
        ++at;
    if (at == lines.size())
        return QStringLiteral("no =ybegin line");
    if (++at < lines.size() && lines[at].startsWith("=ypart "))
        ++at;
    TYEncDecoder decoder;
    quint32 crc = 0;
    qint64 size = 0;
    QByteArray out;
    for (; at < lines.size() && !lines[at].startsWith("=yend"); ++at) {
        const QByteArray line = lines[at] + '\n';
        out.resize(line.size() + 64);
        const TYEncDecoder::TResult r =
            decoder.Decode(line.constData(), line.size(), reinterpret_cast<uchar*>(out.data()));
        crc = Crc32::Update(crc, out.constData(), r.written);
        size += r.written;
    }
    if (at == lines.size())
        return QStringLiteral("no =yend line");
    const QByteArray& end = lines[at];
    const std::optional<QByteArray> wantSize = field(end, "size");
    const std::optional<QByteArray> wantCrc =
        field(end, "pcrc32") ? field(end, "pcrc32") : field(end, "crc32");
    if (!wantSize || wantSize->toLongLong() != size)
        return QStringLiteral("%1 bytes, the =yend line says %2")
            .arg(size)
            .arg(QString::fromLatin1(wantSize.value_or("nothing")));
    bool ok = false;
    if (!wantCrc || wantCrc->toUInt(&ok, 16) != crc || !ok)
        return QStringLiteral("CRC-32 %1, the =yend line says %2")
            .arg(crc, 8, 16, QLatin1Char('0'))
            .arg(QString::fromLatin1(wantCrc.value_or("nothing")));
    return QString();
}

std::optional<TYEncHeaders> ArticleBodyCheck::Headers(const QByteArrayList& lines)
{
    qsizetype at = 0;
    while (at < lines.size() && !lines[at].startsWith("=ybegin "))
        ++at;
    if (at == lines.size())
        return std::nullopt;
    const QByteArray& begin = lines[at];
    TYEncHeaders h;
    bool ok[4] = {true, true, true, true};
    const qsizetype name = begin.indexOf(" name=");
    h.Size = field(begin, "size").value_or("x").toLongLong(&ok[0]);
    h.Part = field(begin, "part").value_or("1").toInt(&ok[1]);
    h.Total = field(begin, "total").value_or(h.Part == 1 ? "1" : "x").toInt(&ok[2]);
    h.End = h.Size;
    if (name < 0 || !ok[0] || !ok[1] || !ok[2] || h.Part < 1 || h.Total < h.Part)
        return std::nullopt;
    h.Name = QString::fromUtf8(begin.mid(name + 6).trimmed());
    if (at + 1 < lines.size() && lines[at + 1].startsWith("=ypart ")) {
        h.Begin = field(lines[at + 1], "begin").value_or("x").toLongLong(&ok[0]);
        h.End = field(lines[at + 1], "end").value_or("x").toLongLong(&ok[1]);
        if (!ok[0] || !ok[1] || h.Begin < 1 || h.End < h.Begin || h.End > h.Size)
            return std::nullopt;
    }
    for (qsizetype i = lines.size() - 1; i > at; --i) {
        if (!lines[i].startsWith("=yend"))
            continue;
        const std::optional<QByteArray> crc =
            h.Total > 1 ? field(lines[i], "pcrc32") : field(lines[i], "crc32");
        if (const quint32 value = crc.value_or("x").toUInt(&ok[3], 16); ok[3])
            h.PartCrc = value;
        break;
    }
    return h;
}
