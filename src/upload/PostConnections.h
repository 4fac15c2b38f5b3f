#pragma once

#include "net/TlsChannel.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <memory>
#include <utility>
#include <vector>

class TbcsNNTP;
class TNewsArticle;

// The connections a series is posted over when the profile asks for more than one. Each
// carries one part at a time, in an article of its own that it holds until the server has
// answered, so that N connections hold N parts. They are set up as the runner set up the main
// client, kept open for the next series to the same server and closed by Quit.
//
// A server that refuses a further connection (502, or 400 or 481 naming its connections)
// while another one works limits how many are used: the refusal is logged once, the part it
// was to carry goes over another connection, and no connection is opened again within a second
// of a refusal. Any other failure of a connection that carries a part is Failed; one of an
// idle connection only closes it.
class TPostConnections : public QObject
{
    Q_OBJECT
public:
    explicit TPostConnections(QObject* parent = nullptr);
    ~TPostConnections() override;

    // Sets count connections up as setup is; those open to another server are closed first.
    void Prepare(const TbcsNNTP& setup, int count);
    // Whether a part given now would go at once.
    bool HasRoom() const;
    // Posts the article of part over a free connection (or once one is free).
    void Send(qint64 part, std::unique_ptr<TNewsArticle> article);
    // No part is on its way or waiting.
    bool Idle() const;
    // How many connections carry a part now.
    int Busy() const;
    // Drops every connection that carries a part, and the parts waiting: nothing more is
    // reported of them.
    void Stop();
    // Leaves the server on every open connection.
    void Quit();
    // How many connections the server allowed after it refused one; 0: none refused.
    int Allowed() const { return m_allowed; }

signals:
    // The server answered part: accepted (240), or refused with code and its text.
    void Answered(qint64 part, bool accepted, int code, const QString& text);
    // A connection carrying a part failed (dropped, timed out, refused the login), or the
    // server took no connection at all: replyCode is that connection's last reply, 0 when it
    // was dropped.
    void Failed(const QString& text, int replyCode);
    // Progress of the article going out on the connection that carries the lowest part.
    void Progress(int percent);
    void LogEvent(const QString& text);
    // A connection refused the server's certificate.
    void CertificateRefused(const TCertificateInfo& certificate, const QString& reason);
    // A part that waited for a connection to be opened has gone, and another may follow.
    void RoomFreed();

private:
    struct TSlot
    {
        std::unique_ptr<TbcsNNTP> Client;
        std::unique_ptr<TNewsArticle> Article;
        qint64 Part = 0; // 0: free
        bool Retired = false;
    };

    void addSlot();
    void dispatch();
    bool mayOpen(const TSlot& slot) const;
    TSlot* freeSlot();
    void posted(TSlot& slot, bool accepted, int code, const QString& text);
    void failed(TSlot& slot, const QString& text, int replyCode);
    bool refusedForLimit(const TSlot& slot) const;
    void retire(TSlot& slot, const QString& text);
    void fail(const QString& text);
    qint64 lowestPart() const;

    std::vector<std::unique_ptr<TSlot>> m_slots;
    std::deque<std::pair<qint64, std::unique_ptr<TNewsArticle>>> m_waiting;
    QString m_server;
    int m_allowed = 0;
    qint64 m_lastRefusal = -1; // ms on the monotonic clock
    QTimer m_reopenTimer;
};
