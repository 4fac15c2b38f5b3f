#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTcpSocket>

// A minimal reading client for tests: fetches the articles of a group over its own
// connection, waiting on the socket (tests only; the program never waits like this).
class TNntpReader
{
public:
    struct TArticle
    {
        QList<QByteArray> Headers;
        QList<QByteArray> Body; // dot-stuffing undone
        QByteArray Header(const QByteArray& name) const;
    };

    bool Connect(quint16 port, QString* error);
    // Every article of the group, oldest first.
    bool ReadGroup(const QByteArray& group, QList<TArticle>& articles, QString* error);

private:
    bool command(const QByteArray& line, QByteArray& reply, QString* error);
    bool readLine(QByteArray& line, QString* error);

    QTcpSocket m_socket;
};
