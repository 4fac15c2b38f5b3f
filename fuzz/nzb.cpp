// NZB files, as `check` reads them: whoever wrote them, and damaged by a crash or a full disk.
// The first byte picks: 0 reads the rest as a document (an NZB read, written and read again is
// the same; a refusal says why); 1 writes files made from the rest, reads them back as written
// (what XML cannot hold left out, as the writer leaves it out) and reads every cut of the
// document short of its end as an error, never as fewer files.
#include "FuzzFiles.h"

#include "upload/NzbFile.h"

#include <fuzzer/FuzzedDataProvider.h>

// In the types' namespace, for QList's == to find them.
static bool operator==(const TNzbSegment& a, const TNzbSegment& b)
{
    return a.Number == b.Number && a.Bytes == b.Bytes && a.MessageId == b.MessageId;
}

static bool operator==(const TNzbFile& a, const TNzbFile& b)
{
    return a.Poster == b.Poster && a.Date == b.Date && a.Subject == b.Subject &&
           a.Groups == b.Groups && a.Segments == b.Segments;
}

namespace {

QString text(FuzzedDataProvider& in)
{
    const std::string bytes = in.ConsumeRandomLengthString(40);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// What XML 1.0 can hold of a text.
QString held(const QString& text)
{
    QString out;
    for (QChar c : text)
        if ((c.unicode() >= 0x20 || c == u'\t') && c.unicode() != 0xFFFE && c.unicode() != 0xFFFF)
            out += c;
    return out;
}

QString withoutBrackets(const QString& id)
{
    return id.startsWith('<') && id.endsWith('>') ? id.mid(1, id.size() - 2) : id;
}

QList<TNzbFile> made(FuzzedDataProvider& in, QList<TNzbFile>* expected)
{
    QList<TNzbFile> files;
    const int count = in.ConsumeIntegralInRange(0, 4);
    for (int f = 0; f < count && in.remaining_bytes() > 0; ++f) {
        TNzbFile file{text(in), in.ConsumeIntegral<qint64>(), text(in), {}, {}};
        TNzbFile read{held(file.Poster), file.Date, held(file.Subject), {}, {}};
        for (int g = in.ConsumeIntegralInRange(0, 3); g > 0; --g) {
            file.Groups << text(in);
            read.Groups << held(file.Groups.last()).trimmed();
        }
        for (int s = in.ConsumeIntegralInRange(0, 6); s > 0; --s) {
            const TNzbSegment segment{in.ConsumeIntegral<int>(), in.ConsumeIntegral<qint64>(),
                                      text(in)};
            file.Segments << segment;
            read.Segments << TNzbSegment{segment.Number, segment.Bytes,
                                         held(withoutBrackets(segment.MessageId)).trimmed()};
        }
        std::stable_sort(
            read.Segments.begin(), read.Segments.end(),
            [](const TNzbSegment& a, const TNzbSegment& b) { return a.Number < b.Number; });
        files << file;
        *expected << read;
    }
    return files;
}

void readBack(FuzzedDataProvider& in)
{
    QList<TNzbFile> expected;
    const QString title = text(in);
    const QList<TNzbFile> files = made(in, &expected);
    const QByteArray document = NzbFile::Document(title, files);
    QString error;
    const auto read = NzbFile::Read(document, &error);
    FuzzFiles::Check(read.has_value(), "a written NZB reads");
    FuzzFiles::Check(*read == expected, "Read(Document(files)) == files");
    const qsizetype end = document.lastIndexOf("</nzb>") + 6;
    for (qsizetype cut = 0; cut < end; cut += 1 + cut / 8) {
        error.clear();
        FuzzFiles::Check(!NzbFile::Read(document.left(cut), &error) && !error.isEmpty(),
                         "a cut NZB is refused with a reason");
    }
}

void readDocument(const QByteArray& document)
{
    QString error;
    const auto files = NzbFile::Read(document, &error);
    if (!files) {
        FuzzFiles::Check(!error.isEmpty(), "a refused NZB says why");
        return;
    }
    const auto again = NzbFile::Read(NzbFile::Document(QString(), *files), &error);
    FuzzFiles::Check(again.has_value(), "a read NZB written again reads");
    const auto third = NzbFile::Read(NzbFile::Document(QString(), *again), &error);
    FuzzFiles::Check(third && *third == *again, "written and read again, the same files");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    if (data[0] % 2 == 0) {
        readDocument(FuzzFiles::Bytes(data + 1, size - 1));
        return 0;
    }
    FuzzedDataProvider in(data + 1, size - 1);
    readBack(in);
    return 0;
}
