#pragma once

#include "net/BufferedSocketBase.h"
#include "net/LineSocketTypes.h"

// A buffered socket that splits what it receives into lines and writes whole lines.
class TLineSocketBase : public TBufferedSocketBase
{
    Q_OBJECT

public:
    explicit TLineSocketBase(TSockCtrl* owner);

    TLineSocketOptionsSet LineOptions() const { return m_options; }
    void SetLineOptions(TLineSocketOptionsSet options) { m_options = options; }
    TLineSocketType LineType() const { return m_type; }
    void SetLineType(TLineSocketType type);

    // Writes text and the terminator (may be empty); with lsoAutoFlushAfterWrite a
    // successful write is flushed at once.
    bool WriteLine(const QByteArray& text, const QByteArray& terminator) override;
    // The next received line with the line type's terminator, kept only with
    // lsoReturnLineChars; false when no complete line is held.
    bool ReadLine(QByteArray& line);

signals:
    void OnLineReceived(TLineSocketBase* socket, const QByteArray& line, bool complete);

protected:
    void Received() override;
    void ReadBufferFull() override;

private:
    void splitLines();

    TLineSocketOptionsSet m_options = DefaultLineOptions;
    TLineSocketType m_type = lstCRLF;
    QByteArray m_terminator = "\r\n";
};
