#pragma once

#include <QObject>
#include <QString>

class QHostInfo;

// Asynchronous host-name lookup. Start returns a handle; Finished reports it later on the
// event loop with an error code of the socket error table (0 on success) and the first IPv4
// address found. Tests derive from it to stall a lookup or fail it on demand.
class THostResolver : public QObject
{
    Q_OBJECT

public:
    explicit THostResolver(QObject* parent = nullptr);

    virtual int Start(const QString& name);

    // The table code for a finished system lookup and the IPv4 address it found.
    static int ErrorCodeOf(const QHostInfo& info, QString* address);

signals:
    void Finished(int handle, int errorCode, const QString& address);
};
