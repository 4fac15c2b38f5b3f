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

QString Problem(const QString& id)
{
    if (id.size() > MaxLength)
        return QStringLiteral("longer than %1 characters").arg(MaxLength);
    if (id.size() < 5 || !id.startsWith(u'<') || !id.endsWith(u'>'))
        return QStringLiteral("not of the form <left@right>");
    const QStringView inner = QStringView(id).mid(1, id.size() - 2);
    for (QChar c : inner) {
        if (c.unicode() < 33 || c.unicode() > 126)
            return QStringLiteral("holds a blank, a control or a non-ASCII character");
        if (c == u'<' || c == u'>')
            return QStringLiteral("holds an angle bracket inside");
    }
    const qsizetype at = inner.indexOf(u'@');
    if (at <= 0 || at == inner.size() - 1)
        return QStringLiteral("not of the form <left@right>");
    return QString();
}

} // namespace MessageId
