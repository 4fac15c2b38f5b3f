#pragma once

#include <QObject>
#include <memory>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the event loop. The handler only writes
// the signal number into a pipe; everything else happens when the loop reads it, so no
// program state is touched inside the handler.
class TSignalPipe : public QObject
{
    Q_OBJECT
public:
    explicit TSignalPipe(QObject* parent = nullptr);
    ~TSignalPipe() override;

    // False when the pipe could not be made; the default handlers then stay.
    bool IsActive() const { return m_notifier != nullptr; }
    // A signal arrived that the event loop has not delivered yet (a command that never ran
    // the loop, or a prompt that Ctrl+C cut short).
    bool HasPending() const;

signals:
    void Interrupted(int signalNumber);

private:
    void readPending();

    std::unique_ptr<QSocketNotifier> m_notifier;
};
