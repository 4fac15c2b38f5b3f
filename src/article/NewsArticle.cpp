#include "article/NewsArticle.h"

#include "codec/EUUCode.h"
#include "codec/LocalFile.h"
#include "article/EncodedBody.h"
#include "article/EncodedFileSegment.h"
#include "article/LinesSegment.h"
#include "article/TextFileSegment.h"
#include "article/WireLine.h"
#include "codec/TextCharset.h"
#include "codec/UUCode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstring>

TNewsArticle::TNewsArticle(QObject* parent) : QObject(parent) {}

TNewsArticle::~TNewsArticle() = default;

void TNewsArticle::Clear()
{
    From.clear();
    Subject.clear();
    Newsgroups.clear();
    HeaderLines.clear();
    Attachments.clear();
    BodyLines.clear();
    RawBodyLines.Clear();
    Encoding = TBodyEncoding::UUEncode;
    m_segments.clear();
    m_open = false;
}

int TNewsArticle::AddFile(const QString& path)
{
    if (TLocalFile::Info(path).IsFile)
        Attachments.append(path);
    return int(Attachments.size());
}

void TNewsArticle::AddHeader(const QString& line)
{
    if (!line.isEmpty())
        HeaderLines.append(line);
}

int TNewsArticle::HeaderCount() const
{
    return int(HeaderLines.size());
}

QString TNewsArticle::GetHeader(int index) const
{
    return HeaderLines.value(index);
}

void TNewsArticle::AddBodyLine(const QString& line)
{
    BodyLines.append(WireLine::StuffDot(line));
}

QStringList TNewsArticle::CharsetHeaders(const QString& charset)
{
    if (charset.isEmpty())
        return {};
    return {QStringLiteral("MIME-Version: 1.0"),
            QStringLiteral("Content-Type: text/plain; charset=") + charset,
            QStringLiteral("Content-Transfer-Encoding: 8bit")};
}

bool TNewsArticle::NeedsEncoding(const QString& path)
{
    static const QStringList text = {QStringLiteral("txt"), QStringLiteral("bat"),
                                     QStringLiteral("ini"), QStringLiteral("inf"),
                                     QStringLiteral("uue")};
    if (!text.contains(QFileInfo(path).suffix(), Qt::CaseInsensitive))
        return true;
    // A file named as text that holds a NUL byte is not text: a server refuses or cuts such an
    // article, so it is encoded like any other binary file. A file that cannot be read is
    // left to the text reader, which says why.
    TLocalFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray block(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(block.data(), block.size());
        if (n <= 0)
            return false;
        if (std::memchr(block.constData(), 0, size_t(n)))
            return true;
    }
}

QString TNewsArticle::TempFileName()
{
    QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("qvXXXXXX")));
    file.setAutoRemove(false);
    if (!file.open())
        return {};
    return file.fileName();
}

void TNewsArticle::EncodeFile(const QString& path, const QString& tempPath)
{
    // The temporary file goes whatever happens; the encoder's error passes on.
    struct TRemove
    {
        const QString& path;
        ~TRemove() { QFile::remove(path); }
    } remove{tempPath};

    TUUCode coder;
    coder.SetAlgorithm(TUUCode::uuencode);
    coder.SetInputFile(path);
    coder.SetOutputFile(tempPath);
    coder.SetHeaders(false);
    coder.SetActive(true);

    QFile encoded(tempPath);
    if (!encoded.open(QIODevice::ReadOnly))
        throw EUUCode(
            QStringLiteral("Cannot read the file %1: %2").arg(tempPath, encoded.errorString()));
    BodyLines.append(QString::fromUtf8(TUUEncodedBody::BeginLine(QFileInfo(path).fileName())));
    const QList<QByteArray> lines = encoded.readAll().split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        WireLine::StuffDot(line);
        BodyLines.append(QString::fromLatin1(line));
    }
    BodyLines.append(QLatin1String(TUUEncodedBody::AccentLine()));
    BodyLines.append(QLatin1String(TUUEncodedBody::EndLine()));
}

bool TNewsArticle::Compose()
{
    m_segments.clear();
    m_open = false;
    if (From.isEmpty()) {
        ErrorText = QStringLiteral("No from line has been specified");
        return false;
    }
    HeaderLines.append(QStringLiteral("From: ") + From);
    if (Subject.isEmpty()) {
        ErrorText = QStringLiteral("No subject line has been specified");
        return false;
    }
    HeaderLines.append(QStringLiteral("Subject: ") + Subject);
    if (Newsgroups.isEmpty()) {
        ErrorText = QStringLiteral("No newsgroups have been specified");
        return false;
    }
    if (!Organization.isEmpty())
        HeaderLines.append(QStringLiteral("Organization: ") + Organization);
    if (!ReplyTo.isEmpty())
        HeaderLines.append(QStringLiteral("Reply-To: ") + ReplyTo);
    if (BodyLines.isEmpty() && RawBodyLines.IsEmpty() && Attachments.isEmpty()) {
        ErrorText = QStringLiteral("No article text or file attachment has been specified");
        return false;
    }
    for (const QString& path : std::as_const(Attachments)) {
        if (!composeAttachment(path, BodyLineCount())) {
            m_segments.clear();
            return false;
        }
    }
    if (!composeSignature()) {
        m_segments.clear();
        return false;
    }
    declareCharset();
    return true;
}

bool TNewsArticle::TryCompose()
{
    try {
        return Compose();
    } catch (const std::exception& e) {
        ErrorText = QString::fromUtf8(e.what());
        return false;
    }
}

void TNewsArticle::declareCharset()
{
    TTextCharset charset;
    for (const QString& line : std::as_const(BodyLines))
        charset.AddLine(line.toUtf8());
    for (qsizetype i = 0; i < RawBodyLines.Size(); ++i)
        charset.AddLine(RawBodyLines.At(i));
    for (const auto& segment : m_segments)
        segment->AddCharsetTo(charset);
    HeaderLines.append(CharsetHeaders(charset.Name(FallbackCharset)));
}

bool TNewsArticle::composeAttachment(const QString& path, qint64 linesSoFar)
{
    if (linesSoFar > 0)
        m_segments.push_back(std::make_unique<TLinesSegment>(QByteArrayList{QByteArray()}));
    if (NeedsEncoding(path)) {
        auto encoded = std::make_unique<TEncodedFileSegment>(path, Encoding);
        if (!encoded->Check(ErrorText))
            return false;
        m_segments.push_back(std::move(encoded));
        return true;
    }
    auto text = std::make_unique<TTextFileSegment>(path);
    if (!text->Count(ErrorText))
        return false;
    m_segments.push_back(std::move(text));
    return true;
}

bool TNewsArticle::composeSignature()
{
    if (SignatureFile.isEmpty() || !QFileInfo::exists(SignatureFile))
        return true;
    auto signature = std::make_unique<TTextFileSegment>(SignatureFile);
    if (!signature->Count(ErrorText))
        return false;
    m_segments.push_back(std::make_unique<TLinesSegment>(QByteArrayList{QByteArray()}));
    m_segments.push_back(std::move(signature));
    return true;
}

qint64 TNewsArticle::BodyLineCount() const
{
    qint64 count = BodyLines.size() + RawBodyLines.Size();
    for (const auto& segment : m_segments)
        count += segment->LineCount();
    return count;
}

bool TNewsArticle::OpenBody()
{
    ErrorText.clear();
    m_placed = 0;
    m_current = 0;
    m_open = true;
    if (m_segments.empty())
        return true;
    if (!m_segments.front()->Open(ErrorText)) {
        m_open = false;
        return false;
    }
    return true;
}

qint64 TNewsArticle::NextWireLines(qint64 maxLines, QByteArrayView& block)
{
    const qsizetype first = m_placed - BodyLines.size();
    if (!m_open || maxLines <= 0 || first < 0 || first >= RawBodyLines.Size() ||
        !RawBodyLines.WireClean())
        return 0;
    const qint64 count = qMin<qint64>(maxLines, RawBodyLines.Size() - first);
    block = RawBodyLines.Span(first, count);
    m_placed += count;
    return count;
}

bool TNewsArticle::NextBodyLine(QByteArrayView& line)
{
    if (!m_open)
        return false;
    if (m_placed < BodyLines.size()) {
        m_line = BodyLines.at(m_placed++).toUtf8();
        line = m_line;
        return true;
    }
    if (m_placed < BodyLines.size() + RawBodyLines.Size()) {
        // Handed out where it lies: the parts of a series are sent without a copy per line.
        line = RawBodyLines.At(m_placed++ - BodyLines.size());
        return true;
    }
    while (m_current < m_segments.size()) {
        QString error;
        if (m_segments[m_current]->Next(m_line, error)) {
            line = m_line;
            return true;
        }
        if (!error.isEmpty()) {
            ErrorText = error;
            m_open = false;
            return false;
        }
        if (++m_current < m_segments.size() && !m_segments[m_current]->Open(ErrorText)) {
            m_open = false;
            return false;
        }
    }
    m_open = false;
    return false;
}
