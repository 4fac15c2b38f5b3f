#include "net/SocketBase.h"

#include "net/BufferedSocketException.h"
#include "net/SockCtrl.h"
#include "net/SockError.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <unistd.h>

TSocketBase::TSocketBase(TSockCtrl* owner) : m_owner(owner) {}

TSocketBase::~TSocketBase()
{
    TSocketBase::Close();
}

void TSocketBase::Adopt(int handle, TSocketState state)
{
    m_handle = handle;
    m_state = state;
    m_readNotifier = new QSocketNotifier(handle, QSocketNotifier::Read, this);
    m_writeNotifier = new QSocketNotifier(handle, QSocketNotifier::Write, this);
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, [this] { notified(true); });
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] { notified(false); });
}

void TSocketBase::WatchRead(bool on)
{
    if (m_readNotifier)
        m_readNotifier->setEnabled(on);
}

void TSocketBase::WatchWrite(bool on)
{
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(on);
}

void TSocketBase::QueueReadable()
{
    QMetaObject::invokeMethod(
        this,
        [self = QPointer<TSocketBase>(this)] {
            if (self && self->IsOpen())
                self->notified(true);
        },
        Qt::QueuedConnection);
}

void TSocketBase::Close()
{
    if (m_handle < 0)
        return;
    // The notifiers may be the ones whose signal is running right now: let the loop free them.
    for (QSocketNotifier* n : {m_readNotifier, m_writeNotifier}) {
        n->setEnabled(false);
        n->deleteLater();
    }
    m_readNotifier = m_writeNotifier = nullptr;
    ::close(m_handle);
    m_handle = -1;
    m_state = ssClosed;
}

void TSocketBase::RaiseErrno(int error, int format)
{
    m_lastError = ESockError::CodeFromErrno(error);
    throw ESockError::Make(m_lastError, ESockError::Format(format));
}

void TSocketBase::notified(bool readable)
{
    // Nobody is left to hear about it while the program shuts down.
    if (QCoreApplication::closingDown())
        return;
    // The owner may drop this socket while the handler runs; keep it alive until we return.
    QPointer<TSocketBase> self(this);
    QString message;
    int code = 0;
    try {
        if (readable)
            HandleReadable();
        else
            HandleWritable();
        return;
    } catch (const ESockError& e) {
        message = e.Message();
        code = e.Code();
    } catch (const EBufferedSocketException& e) {
        message = QString::fromUtf8(e.what());
    }
    if (!self)
        return;
    Close();
    if (m_owner)
        m_owner->SocketFailed(this, code, message);
}
