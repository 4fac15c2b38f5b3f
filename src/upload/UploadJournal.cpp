#include "upload/UploadJournal.h"

#include "base/CommaText.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int ArticleFields = 13;
constexpr int FileFields = 7;
const QStringList StateNames = {"sent", "accepted", "checked", "missing"};

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A line of the journal holds no control character: those and the backslash go as \xHH.
QString escaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\' || c.category() == QChar::Other_Control)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

std::optional<QString> unescaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            out += text[i];
            continue;
        }
        bool ok = false;
        const ushort code =
            i + 3 < text.size() ? QStringView(text).mid(i + 2, 2).toUShort(&ok, 16) : 0;
        if (!ok || text[i + 1] != u'x')
            return std::nullopt;
        out += QChar(code);
        i += 3;
    }
    return out;
}

// Cuts the file open at fd after its last line break.
bool dropTornLine(int fd)
{
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (size < 0)
        return false;
    char chunk[4096];
    for (off_t end = size; end > 0;) {
        const off_t from = std::max<off_t>(0, end - off_t(sizeof chunk));
        if (::pread(fd, chunk, size_t(end - from), from) != end - from)
            return false;
        for (off_t i = end - from - 1; i >= 0; --i) {
            if (chunk[i] != '\n')
                continue;
            const off_t keep = from + i + 1;
            return keep == size || ::ftruncate(fd, keep) == 0;
        }
        end = from;
    }
    return ::ftruncate(fd, 0) == 0;
}

QString articleLine(const TJournalArticle& a)
{
    return CommaText::Write(
        {"part", a.File, QString::number(a.Part), QString::number(a.Total),
         QString::number(a.Begin), QString::number(a.End), QString::number(a.Bytes), a.MessageId,
         TUploadJournal::StateName(a.State), a.Subject, CommaText::Write(a.Groups), a.Poster,
         QString::number(a.Date), a.Server});
}

QString fileLine(const TJournalFile& f)
{
    return CommaText::Write({"file", f.File, CommaText::Write(f.Groups),
                             QString::number(f.Identity.Size), QString::number(f.Identity.Modified),
                             f.Identity.Hash, f.Task});
}

QString checkLine(const TJournalCheck& c)
{
    return CommaText::Write({"check", QString::number(c.Date), c.Server,
                             QString::number(c.Articles), QString::number(c.Missing)});
}

std::optional<TJournalCheck> parseCheck(const QStringList& f)
{
    if (f.size() < 5)
        return std::nullopt;
    TJournalCheck c;
    bool ok[3] = {};
    c.Date = f[1].toLongLong(&ok[0]);
    c.Server = f[2];
    c.Articles = f[3].toInt(&ok[1]);
    c.Missing = f[4].toInt(&ok[2]);
    if (!ok[0] || !ok[1] || !ok[2])
        return std::nullopt;
    return c;
}

std::optional<TJournalArticle> parseArticle(const QStringList& f)
{
    if (f.size() < ArticleFields)
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
    a.Server = f.value(13); // readers before it stop at the date
    if (std::find(std::begin(ok), std::end(ok), false) != std::end(ok) || state < 0 || a.Part < 1 ||
        a.MessageId.isEmpty())
        return std::nullopt;
    a.State = TArticleState(state);
    return a;
}

std::optional<TJournalFile> parseFile(const QStringList& f)
{
    if (f.size() < FileFields)
        return std::nullopt;
    TJournalFile file{f[1], CommaText::Read(f[2]), {}, f[6]};
    bool ok[2] = {};
    file.Identity = {f[3].toLongLong(&ok[0]), f[4].toLongLong(&ok[1]), f[5]};
    if (!ok[0] || !ok[1] || file.File.isEmpty())
        return std::nullopt;
    return file;
}

// Adds what the line records to content; a damaged line adds nothing.
void addLine(const QString& line, TJournalContent& content)
{
    if (line.startsWith(QLatin1String("article,"))) { // written before lines were escaped
        if (const auto a = parseArticle(CommaText::Read(line)))
            content.Add(*a);
        return;
    }
    const std::optional<QString> text = unescaped(line);
    const QStringList fields = text ? CommaText::Read(*text) : QStringList();
    if (fields.value(0) == u"part") {
        if (const auto a = parseArticle(fields))
            content.Add(*a);
    } else if (fields.value(0) == u"file") {
        if (const auto f = parseFile(fields))
            content.Add(*f);
    } else if (fields.value(0) == u"check") {
        if (const auto c = parseCheck(fields))
            content.Add(*c);
    }
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
    m_content = {};
    if (QFileInfo::exists(path)) {
        std::optional<TJournalContent> read = Read(path, error);
        if (!read)
            return false;
        m_content = std::move(*read);
    }
    m_fd = ::open(QFile::encodeName(path).constData(),
                  O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        *error = "Cannot open the upload journal " + path + ": " + systemError();
        return false;
    }
    m_path = path;
    m_pacer.Synced();
    // A line torn by a crash goes, so that the next record starts a line of its own.
    if (!dropTornLine(m_fd)) {
        *error = "Cannot write the upload journal " + path + ": " + systemError();
        Close();
        return false;
    }
    return true;
}

bool TUploadJournal::Record(const TJournalArticle& article, QString* error)
{
    m_content.Add(article);
    return append(escaped(articleLine(article)), error);
}

bool TUploadJournal::Record(const TJournalFile& file, QString* error)
{
    m_content.Add(file);
    return append(escaped(fileLine(file)), error);
}

bool TUploadJournal::Record(const TJournalCheck& check, QString* error)
{
    m_content.Add(check);
    return append(escaped(checkLine(check)), error);
}

bool TUploadJournal::append(const QString& text, QString* error)
{
    if (m_fd < 0) {
        *error = QStringLiteral("The upload journal is not open");
        return false;
    }
    const QByteArray line = text.toUtf8() + '\n';
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
    return SyncSoon(error);
}

bool TUploadJournal::SyncSoon(QString* error)
{
    return !m_pacer.Due() || Sync(error);
}

bool TUploadJournal::Sync(QString* error)
{
    if (m_fd < 0)
        return true;
    m_pacer.Synced();
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

std::optional<TJournalContent> TUploadJournal::Read(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = "Cannot read the upload journal " + path + ": " + file.errorString();
        return std::nullopt;
    }
    TJournalContent content;
    while (!file.atEnd()) {
        const QByteArray raw = file.readLine();
        if (raw.endsWith('\n')) // else torn by a crash
            addLine(QString::fromUtf8(raw.chopped(1)), content);
    }
    if (file.error() != QFileDevice::NoError) {
        *error = "Cannot read the upload journal " + path + ": " + file.errorString();
        return std::nullopt;
    }
    return content;
}
