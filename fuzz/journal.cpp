// The upload journal, as a resumed run reads it after a crash, a full disk or another tool.
// The first byte picks: 0 reads the rest as a journal (every record read, recorded again,
// reads back the same); 1 records articles made from the rest and reads them back as the
// latest state of each file, groups and part, and every cut of the file as the records of the
// lines it still holds whole.
#include "FuzzFiles.h"

#include "upload/UploadJournal.h"

#include <QFile>
#include <QMap>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

// Any text, line breaks and other control characters too: the journal writes them escaped.
QString text(FuzzedDataProvider& in)
{
    const std::string bytes = in.ConsumeRandomLengthString(30);
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

TJournalArticle article(FuzzedDataProvider& in, const QList<TJournalArticle>& earlier)
{
    // Often a later state of an earlier article, as the poster records them.
    if (!earlier.isEmpty() && in.ConsumeBool()) {
        TJournalArticle a = earlier[in.ConsumeIntegralInRange<qsizetype>(0, earlier.size() - 1)];
        a.State = TArticleState(in.ConsumeIntegralInRange(0, 3));
        return a;
    }
    TJournalArticle a;
    a.File = text(in);
    a.Part = in.ConsumeIntegralInRange(1, 1 << 30);
    a.Total = in.ConsumeIntegral<int>();
    a.Begin = in.ConsumeIntegral<qint64>();
    a.End = in.ConsumeIntegral<qint64>();
    a.Bytes = in.ConsumeIntegral<qint64>();
    a.MessageId = text(in);
    if (a.MessageId.isEmpty())
        a.MessageId = QStringLiteral("id@x");
    a.State = TArticleState(in.ConsumeIntegralInRange(0, 3));
    a.Subject = text(in);
    for (int g = in.ConsumeIntegralInRange(1, 3); g > 0; --g)
        a.Groups << text(in);
    a.Poster = text(in);
    a.Date = in.ConsumeIntegral<qint64>();
    return a;
}

// What a reader must give for these records: for each file and groups, in the order first
// recorded, the latest record of each part, parts in order; a record cutting the file into
// another number of parts drops the parts of the earlier cut.
QList<TJournalArticle> latest(const QList<TJournalArticle>& records)
{
    QList<QPair<QString, QStringList>> keys;
    QList<QMap<int, TJournalArticle>> parts;
    for (const TJournalArticle& r : records) {
        const QPair<QString, QStringList> key(r.File, r.Groups);
        qsizetype at = keys.indexOf(key);
        if (at < 0) {
            at = keys.size();
            keys << key;
            parts.append(QMap<int, TJournalArticle>());
        }
        if (!parts[at].isEmpty() && parts[at].first().Total != r.Total)
            parts[at].clear();
        parts[at].insert(r.Part, r);
    }
    QList<TJournalArticle> out;
    for (const QMap<int, TJournalArticle>& p : std::as_const(parts))
        out << p.values();
    return out;
}

QString recorded(const QList<TJournalArticle>& records)
{
    const QString path = FuzzFiles::Write(QStringLiteral("journal"), QByteArray());
    TUploadJournal journal;
    QString error;
    FuzzFiles::Check(journal.Open(path, &error), "the journal opens");
    for (const TJournalArticle& r : records)
        FuzzFiles::Check(journal.Record(r, &error), "an article is recorded");
    journal.Close();
    return path;
}

QList<TJournalArticle> readOrStop(const QString& path)
{
    QString error;
    const auto read = TUploadJournal::Read(path, &error);
    FuzzFiles::Check(read.has_value(), "a readable journal is read");
    return read->Articles();
}

void readBack(FuzzedDataProvider& in)
{
    QList<TJournalArticle> records;
    for (int n = in.ConsumeIntegralInRange(1, 8); n > 0 && in.remaining_bytes() > 0; --n)
        records << article(in, records);
    const QString path = recorded(records);
    FuzzFiles::Check(readOrStop(path) == latest(records), "Read(Record(articles)) == articles");
    QFile file(path);
    FuzzFiles::Check(file.open(QIODevice::ReadOnly), "the journal reads");
    const QByteArray bytes = file.readAll();
    const qsizetype cut = in.ConsumeIntegralInRange<qsizetype>(0, bytes.size());
    FuzzFiles::Write(QStringLiteral("journal"), bytes.left(cut));
    const qsizetype whole = bytes.left(cut).count('\n');
    FuzzFiles::Check(readOrStop(path) == latest(records.first(whole)),
                     "a cut journal gives the records of its whole lines");
}

void readJournal(const QByteArray& bytes)
{
    const QString path = FuzzFiles::Write(QStringLiteral("journal"), bytes);
    for (const TJournalArticle& r : readOrStop(path)) {
        FuzzFiles::Check(r.Part >= 1 && !r.MessageId.isEmpty(), "a record has a part and an ID");
        FuzzFiles::Check(readOrStop(recorded({r})) == QList<TJournalArticle>{r},
                         "a record read, recorded again, reads the same");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzFiles::Init(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    FuzzFiles::FreshFolder();
    if (data[0] % 2 == 0) {
        readJournal(FuzzFiles::Bytes(data + 1, size - 1));
        return 0;
    }
    FuzzedDataProvider in(data + 1, size - 1);
    readBack(in);
    return 0;
}
