#include "upload/SubjectLine.h"

#include "codec/LocalFile.h"

#include <QFileInfo>

namespace {

void replaceFirst(QString& text, QLatin1StringView placeholder, const QString& value)
{
    const qsizetype at = text.indexOf(placeholder);
    if (at >= 0)
        text.replace(at, placeholder.size(), value);
}

} // namespace

QString TSubjectLine::BuildSubjectLine(const QString& tmpl, const QString& subject,
                                       const QString& path, qint64 part, qint64 total,
                                       const QString& name)
{
    QString text = tmpl;
    replaceFirst(text, QLatin1StringView("%s"), subject);
    replaceFirst(text, QLatin1StringView("%f"),
                 name.isEmpty() ? TLocalFile::Shown(QFileInfo(path).fileName()) : name);
    replaceFirst(text, QLatin1StringView("%p"), QString::number(part));
    replaceFirst(text, QLatin1StringView("%t"), QString::number(total));
    // The size is looked up only when the template asks for it.
    if (text.contains(QLatin1StringView("%b")))
        replaceFirst(text, QLatin1StringView("%b"), QString::number(GetSize(path)));
    return text;
}

qint64 TSubjectLine::GetSize(const QString& path)
{
    return TLocalFile::Info(path).Size;
}
