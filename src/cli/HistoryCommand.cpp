#include "cli/HistoryCommand.h"

#include "upload/UploadHistory.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTimeZone>

namespace {

QString isoDate(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc()).toString(Qt::ISODate);
}

QJsonObject jsonOf(const THistoryEntry& e)
{
    QJsonObject object{
        {QStringLiteral("entry"), e.Batch},
        {QStringLiteral("date"), isoDate(e.Date)},
        {QStringLiteral("subject"), e.Subject},
        {QStringLiteral("files"), QJsonArray::fromStringList(e.Files)},
        {QStringLiteral("size"), e.Size},
        {QStringLiteral("groups"), QJsonArray::fromStringList(e.Groups)},
        {QStringLiteral("servers"), QJsonArray::fromStringList(e.Servers)},
        {QStringLiteral("articles"), e.Articles},
        {QStringLiteral("missing"), e.Missing},
        {QStringLiteral("nzb"), e.Nzb},
        {QStringLiteral("journal"), e.Journal},
        {QStringLiteral("state"), THistoryEntry::StateName(e.State)},
    };
    if (!e.TakenBy.isEmpty()) {
        QJsonObject takenBy;
        for (auto it = e.TakenBy.begin(); it != e.TakenBy.end(); ++it)
            takenBy.insert(it.key(), it.value());
        object.insert(QStringLiteral("taken_by"), takenBy);
    }
    if (e.LastCheck)
        object.insert(QStringLiteral("checked"),
                      QJsonObject{{QStringLiteral("date"), isoDate(e.LastCheck->Date)},
                                  {QStringLiteral("server"), e.LastCheck->Server},
                                  {QStringLiteral("missing"), e.LastCheck->Missing}});
    return object;
}

QString localDate(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString lineOf(const THistoryEntry& e)
{
    const QString checked = e.LastCheck
                                ? QStringLiteral("    checked %1 on %2: %3 of %4 missing\n")
                                      .arg(localDate(e.LastCheck->Date), e.LastCheck->Server)
                                      .arg(e.LastCheck->Missing)
                                      .arg(e.LastCheck->Articles)
                                : QString();
    return QStringLiteral("%1  %2  %3  %4 file(s), %5, %6 article(s), %7 missing  %8\n"
                          "    groups: %9  servers: %10\n    nzb: %11\n")
               .arg(e.Batch, localDate(e.Date), THistoryEntry::StateName(e.State))
               .arg(e.Files.size())
               .arg(QLocale::c().formattedDataSize(e.Size))
               .arg(e.Articles)
               .arg(e.Missing)
               .arg(e.Subject, e.Groups.join(u','), e.Servers.join(u','),
                    e.Nzb.isEmpty() ? QStringLiteral("(none)") : e.Nzb) +
           checked;
}

} // namespace

QString HistoryCommand::Text(const QList<THistoryEntry>& entries, bool json)
{
    QString text;
    for (const THistoryEntry& e : entries)
        text += json ? QString::fromUtf8(QJsonDocument(jsonOf(e)).toJson(QJsonDocument::Compact)) +
                           u'\n'
                     : lineOf(e);
    return text;
}
