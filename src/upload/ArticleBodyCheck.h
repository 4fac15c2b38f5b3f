#pragma once

#include <QByteArrayList>
#include <QString>

// Whether an article's body, as a server gives it back, still holds what was posted: a yEnc
// part whose data decodes to the size and the CRC-32 its =yend line gives. A server that kept
// the headers and lost or damaged the body passes a STAT; this sees it.
namespace ArticleBodyCheck {

// Empty when the body is whole; else what is wrong with it.
QString Damage(const QByteArrayList& lines);

} // namespace ArticleBodyCheck
