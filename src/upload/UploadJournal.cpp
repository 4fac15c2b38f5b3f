#include "upload/UploadJournal.h"

#include "base/CommaText.h"

#include <QFile>
#include <QHash>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Seconds of records a crash may cost at most.
constexpr qint64 SyncEveryMs = 2000;
constexpr int FieldCount = 13;
const QStringList StateNames = {"sent", "accepted", "checked", "missing"};

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString lineOf(const TJournalArticle& a)
{
    return CommaText::Write({"article", a.File, QString::number(a.Part), QString::number(a.Total),
                             QString::number(a.Begin), QString::number(a.End),
                             QString::number(a.Bytes), a.MessageId,
                             TUploadJournal::StateName(a.State), a.Subject,
                             CommaText::Write(a.Groups), a.Poster, QString::number(a.Date)}) +
           '\n';
}

std::optional<TJournalArticle> parse(const QString& line)
{
    const QStringList f = CommaText::Read(line);
    if (f.size() < FieldCount || f[0] != "article")
        return std::nullopt;
    TJournalArticle a;
    bool ok[6] = {};
    a.File = f[1];
    a.Part = f[2].toInt(&ok[0]);
    a.Total = f[3].toInt(&ok[1]);
    a.Begin = f[4].toLongLong(&ok[2]);
    a.End = f[5].toLongLong(&ok[3]);
    a.Bytes = f[6].toLongLong(&ok[4]);
    a.MessageId = f[7];
    const qsizetype state = StateNames.indexOf(f[8]);
    a.Subject = f[9];
    a.Groups = CommaText::Read(f[10]);
    a.Poster = f[11];
    a.Date = f[12].toLongLong(&ok[5]);
    if (std::find(std::begin(ok), std::end(ok), false) != std::end(ok) || state < 0 || a.Part < 1 ||
        a.MessageId.isEmpty())
        return std::nullopt;
    a.State = TArticleState(state);
    return a;
}

} // namespace

TUploadJournal::~TUploadJournal()
{
    Close();
}

QString TUploadJournal::StateName(TArticleState state)
{
    return StateNames.at(int(state));
}

bool TUploadJournal::Open(const QString& path, QString* error)
{
    Close();
    m_fd = ::open(QFile::encodeName(path).constData(),
                  O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        *error = "Cannot open the upload journal " + path + ": " + systemError();
        return false;
    }
    m_path = path;
    m_sinceSync.start();
    return true;
}

bool TUploadJournal::Record(const TJournalArticle& article, QString* error)
{
    if (m_fd < 0) {
        *error = QStringLiteral("The upload journal is not open");
        return false;
    }
    const QByteArray line = lineOf(article).toUtf8();
    qsizetype done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(m_fd, line.constData() + done, size_t(line.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = "Cannot write the upload journal " + m_path + ": " + systemError();
            return false;
        }
        done += n;
    }
    return m_sinceSync.elapsed() < SyncEveryMs || Sync(error);
}

bool TUploadJournal::Sync(QString* error)
{
    if (m_fd < 0)
        return true;
    m_sinceSync.restart();
    if (::fdatasync(m_fd) != 0) {
        *error = "Cannot write the upload journal " + m_path + ": " + systemError();
        return false;
    }
    return true;
}

void TUploadJournal::Close()
{
    if (m_fd < 0)
        return;
    ::fdatasync(m_fd);
    ::close(m_fd);
    m_fd = -1;
}

std::optional<QList<TJournalArticle>> TUploadJournal::Read(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = "Cannot read the upload journal " + path + ": " + file.errorString();
        return std::nullopt;
    }
    QList<TJournalArticle> articles;
    QHash<QString, qsizetype> index;     // file + part -> place in articles
    QHash<QString, qsizetype> fileOrder; // file -> when it was first seen
    while (!file.atEnd()) {
        const QByteArray raw = file.readLine();
        if (!raw.endsWith('\n'))
            break; // torn by a crash
        const std::optional<TJournalArticle> a = parse(QString::fromUtf8(raw.chopped(1)));
        if (!a)
            continue;
        const QString key = a->File + '\n' + a->Groups.join(',') + '\n' + QString::number(a->Part);
        if (const auto at = index.constFind(key); at != index.constEnd()) {
            articles[*at] = *a;
        } else {
            index.insert(key, articles.size());
            fileOrder.insert(a->File, fileOrder.value(a->File, fileOrder.size()));
            articles << *a;
        }
    }
    std::stable_sort(articles.begin(), articles.end(),
                     [&](const TJournalArticle& a, const TJournalArticle& b) {
                         const qsizetype fa = fileOrder.value(a.File), fb = fileOrder.value(b.File);
                         return fa != fb ? fa < fb : a.Part < b.Part;
                     });
    return articles;
}
