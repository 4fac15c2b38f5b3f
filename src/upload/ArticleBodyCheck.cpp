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
