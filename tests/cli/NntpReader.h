#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Reads back what a news server holds, the way a newsreader would (GROUP, then ARTICLE
// for each number), so a test can check what was really posted.
class TNntpReader
{
public:
    struct TArticle
    {
        QList<QByteArray> HeaderLines;
        QList<QByteArray> BodyLines; // dot-unstuffed
        QByteArray Header(const QByteArray& name) const;
    };

    explicit TNntpReader(quint16 port) : m_port(port) {}

    // Every article of the group in number order; false with the reason in error.
    bool Read(const QString& group, QList<TArticle>* articles, QString* error) const;
    // The names of every group the server carries (LIST ACTIVE), in its order.
    bool Groups(QStringList* names, QString* error) const;

private:
    quint16 m_port;
};
