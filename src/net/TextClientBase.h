#pragma once

#include "net/BufferedClientBase.h"
#include "net/LineSocketTypes.h"

class TLineSocket;
class TLineSocketBase;

// A buffered client control whose data socket is a line socket.
class TTextClientBase : public TBufferedClientBase
{
    Q_OBJECT

public:
    explicit TTextClientBase(QObject* parent = nullptr);

    TLineSocketType LineType() const { return m_lineType; }
    void SetLineType(TLineSocketType type) { m_lineType = type; }
    TLineSocketOptionsSet LineOptions() const { return m_lineOptions; }
    void SetLineOptions(TLineSocketOptionsSet options) { m_lineOptions = options; }

    // The open line socket, or nullptr.
    TLineSocket* LineSocket() const;

signals:
    void OnLineReceived(TLineSocketBase* socket, const QByteArray& line, bool complete);

protected:
    TStreamSocket* CreateSocket() override;

private:
    TLineSocketType m_lineType = lstCRLF;
    TLineSocketOptionsSet m_lineOptions = DefaultLineOptions;
};
