#include "tasks/TaskLine.h"

#include "base/CommaText.h"

namespace {

QString flagText(bool flag)
{
    return flag ? QStringLiteral("y") : QStringLiteral("n");
}

qint32 numberOr(const QString& text, qint32 fallback)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : fallback;
}

bool isLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

namespace TaskLine {

QString Write(const TTask& task)
{
    QStringList fields;
    fields.reserve(FieldCount);
    fields << QString::number(static_cast<int>(task.Kind));
    for (int i = 1; i <= 10; ++i)
        fields << task.Text(i);
    fields << QString::number(task.Timeout) << QString::number(task.PostTimeout)
           << QString::number(task.MaxLines) << flagText(task.Flag1) << flagText(task.Flag2);
    if (!task.Text11.isEmpty() || !task.Text12.isEmpty())
        fields << task.Text11;
    if (!task.Text12.isEmpty())
        fields << task.Text12;
    return CommaText::Write(fields);
}

std::optional<TTask> Read(const QString& line, QString* error)
{
    const QStringList fields = CommaText::Read(line);
    if (fields.size() < FieldCount) {
        *error = QStringLiteral("holds %1 of the %2 fields of a task")
                     .arg(fields.size())
                     .arg(FieldCount);
        return std::nullopt;
    }
    bool ok = false;
    const int kind = fields[0].toInt(&ok, 10);
    if (!ok || kind < 0 || kind > 255) {
        *error = QStringLiteral("does not begin with a task kind number (\"%1\")").arg(fields[0]);
        return std::nullopt;
    }
    TTask task;
    task.Kind = static_cast<TTaskKind>(kind);
    for (int i = 1; i <= 10; ++i)
        task.Text(i) = fields[i];
    task.Timeout = numberOr(fields[11], 60);
    task.PostTimeout = numberOr(fields[12], 30);
    task.MaxLines = numberOr(fields[13], 0);
    // Exactly "y": anything else, a capital Y included, reads as false.
    task.Flag1 = fields[14] == QStringLiteral("y");
    task.Flag2 = fields[15] == QStringLiteral("y");
    task.Text11 = fields.value(FieldCount);
    task.Text12 = fields.value(FieldCount + 1);
    return task;
}

std::optional<QList<TRecord>> Split(const QString& text, int firstLine, TSplitError* error)
{
    QList<TRecord> records;
    QString current;
    int line = firstLine;
    int recordLine = firstLine;
    bool inQuotes = false;
    bool atValueStart = true;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            current += c;
            if (c == u'"') {
                if (i + 1 < n && text[i + 1] == u'"') {
                    current += text[++i];
                } else {
                    inQuotes = false;
                    atValueStart = true;
                }
            } else if (c == u'\n' || (c == u'\r' && !(i + 1 < n && text[i + 1] == u'\n'))) {
                ++line;
            }
            continue;
        }
        if (isLineBreak(c)) {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            records.append({current, recordLine});
            current.clear();
            recordLine = ++line;
            atValueStart = true;
            continue;
        }
        current += c;
        if (c == u'"' && atValueStart)
            inQuotes = true;
        // A comma or a blank ends an unquoted value; whatever follows starts the next one.
        atValueStart = c == u',' || c.unicode() <= 32;
    }
    if (inQuotes) {
        error->Line = recordLine;
        error->Text = QStringLiteral("opens a quoted value that never ends");
        return std::nullopt;
    }
    if (!current.isEmpty())
        records.append({current, recordLine});
    return records;
}

} // namespace TaskLine
