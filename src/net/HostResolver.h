#pragma once

#include <QObject>
#include <QString>

class QHostInfo;

// Asynchronous host-name lookup. Start returns a handle; Finished reports it later on the
// event loop with an error code of the socket error table (0 on success) and every address
// found, IPv6 and IPv4, in the resolver's order. Tests derive from it to stall a lookup or
// fail it on demand.
class THostResolver : public QObject
{
    Q_OBJECT

public:
    explicit THostResolver(QObject* parent = nullptr);

    virtual int Start(const QString& name);

    // The table code for a finished system lookup and the addresses it found.
    static int ErrorCodeOf(const QHostInfo& info, QStringList* addresses);

signals:
    void Finished(int handle, int errorCode, const QStringList& addresses);
};
