#pragma once

#include "upload/UploadJournal.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The account of one file of a batch's upload going to its groups: what the journal held of
// its articles when it began, the Message-ID each of its parts goes with, and every article
// sent and answered, recorded through the batch's journal.
class TFileAccount
{
public:
    using TRecorder = std::function<void(const TJournalArticle&)>;

    // known: what the journal held of the file's articles to these groups; record writes a
    // changed article to the journal.
    TFileAccount(const QString& file, const QStringList& groups, const QString& poster,
                 QList<TJournalArticle> known, const QString& messageIdDomain, TRecorder record);

    // Where the articles sent from now on go (the news client's server), recorded with each.
    void SetServerOf(std::function<QString()> server) { m_server = std::move(server); }
    const QString& File() const { return m_file; }
    const QStringList& Groups() const { return m_groups; }
    // The journal knew nothing of the file when it began.
    bool New() const { return m_known.isEmpty(); }
    // See TBatchAccount.
    bool TakenWholeBefore() const { return m_takenWholeBefore; }
    QString MessageIdFor(int part) const;
    // False when the journal's articles of another count were dropped.
    bool SetTotal(int total);
    bool Taken(int part) const;
    QStringList Unanswered() const;
    void Confirmed(const QStringList& messageIds);
    void Sent(int part, int total, qint64 begin, qint64 end, qint64 bytes, const QString& messageId,
              const QString& subject);
    void Answered(bool accepted);
    void Answered(int part, bool accepted);
    bool RefusedAsDuplicate(int code, const QString& text) const;
    // The same for part, one of several on their way at once.
    bool RefusedAsDuplicate(int part, int code, const QString& text) const;
    // The Message-ID part went with, while no answer is recorded for it.
    QString MessageIdOf(int part) const { return m_unanswered.value(part).MessageId; }
    QString CurrentMessageId() const { return m_current.MessageId; }
    void Missing();
    // Part was refused as a duplicate, yet the server does not have it.
    void Missing(int part);
    // The file's run ends: answers still to come are not recorded.
    void Ended();

private:
    // A refusal that says the server has the article already: 435, 437, or 441 naming a
    // duplicate.
    static bool duplicateRefusal(int code, const QString& text);
    bool sentBefore(int part, const QString& messageId) const;

    QString m_file;
    QStringList m_groups;
    QString m_poster;
    QString m_domain;
    TRecorder m_record;
    std::function<QString()> m_server;
    bool m_takenWholeBefore = false;
    QList<TJournalArticle> m_known; // the file's articles the journal held
    TJournalArticle m_current;
    QHash<int, TJournalArticle> m_unanswered; // the file's articles sent, by part
};
