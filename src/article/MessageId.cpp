#include "article/MessageId.h"

#include <QRandomGenerator>
#include <QStringList>

namespace {

const char* const Base32 = "abcdefghijklmnopqrstuvwxyz234567";
constexpr int LocalLength = 26; // 26 x 5 = 130 bits
constexpr int MaxLength = 250;

bool isAtomChar(QChar c)
{
    if (c.unicode() > 126 || c.unicode() < 33)
        return false;
    return c.isLetterOrNumber() || QStringLiteral("!#$%&'*+-/=?^_`{|}~").contains(c);
}

} // namespace

namespace MessageId {

QString Make(const QString& domain)
{
    QString local;
    local.reserve(LocalLength);
    QRandomGenerator* random = QRandomGenerator::system();
    for (int i = 0; i < LocalLength; ++i)
        local += QLatin1Char(Base32[random->bounded(32)]);
    const QString right = IsValidDomain(domain) ? domain : QString::fromLatin1(DefaultDomain);
    return '<' + local + '@' + right + '>';
}

bool IsValidDomain(const QString& domain)
{
    if (domain.isEmpty() || domain.size() > MaxLength - LocalLength - 3)
        return false;
    const QStringList atoms = domain.split('.');
    for (const QString& atom : atoms) {
        if (atom.isEmpty())
            return false;
        for (QChar c : atom)
            if (!isAtomChar(c))
                return false;
    }
    return true;
}

} // namespace MessageId
