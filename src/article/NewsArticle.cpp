#include "article/NewsArticle.h"

// Interface first; the behaviour follows.
class TBodySegment
{
public:
    virtual ~TBodySegment() = default;
};

TNewsArticle::TNewsArticle(QObject* parent) : QObject(parent) {}
TNewsArticle::~TNewsArticle() = default;
void TNewsArticle::Clear() {}
int TNewsArticle::AddFile(const QString&)
{
    return int(Attachments.size());
}
void TNewsArticle::AddHeader(const QString&) {}
int TNewsArticle::HeaderCount() const
{
    return int(HeaderLines.size());
}
QString TNewsArticle::GetHeader(int index) const
{
    return HeaderLines.value(index);
}
void TNewsArticle::AddBodyLine(const QString&) {}
bool TNewsArticle::NeedsEncoding(const QString&)
{
    return true;
}
QString TNewsArticle::TempFileName()
{
    return {};
}
void TNewsArticle::EncodeFile(const QString&, const QString&) {}
bool TNewsArticle::Compose()
{
    return false;
}
qint64 TNewsArticle::BodyLineCount() const
{
    return 0;
}
bool TNewsArticle::OpenBody()
{
    return false;
}
bool TNewsArticle::NextBodyLine(QByteArray&)
{
    return false;
}
bool TNewsArticle::composeAttachment(const QString&, qint64)
{
    return false;
}
bool TNewsArticle::composeSignature()
{
    return false;
}
