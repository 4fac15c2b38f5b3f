#include "dialup/RasConnection.h"

#include "dialup/RasTexts.h"

#include <QDBusConnection>
#include <QFileInfo>

namespace {
// Dial states reported while NetworkManager works on a dial.
constexpr int StateOpenPort = 0;      // the service took the dial
constexpr int StateConnectDevice = 2; // NetworkManager is activating the profile
constexpr int ForcedHangUpWaitMs = 1000;
constexpr int DialWindowWaitMs = 1000;
} // namespace

TRasConnection::TRasConnection(QObject* parent)
    : TRasConnection(TRasBackend::Create(QDBusConnection::systemBus(), DefaultCallTimeoutMs),
                     TWaiter::System(), parent)
{
}

TRasConnection::TRasConnection(std::unique_ptr<TRasBackend> backend, TWaiter& waiter,
                               QObject* parent)
    : QObject(parent), m_backend(std::move(backend)), m_waiter(waiter)
{
    connect(m_backend.get(), &TRasBackend::StateChanged, this, &TRasConnection::OnBackendState);
    connect(m_backend.get(), &TRasBackend::ServiceLost, this, &TRasConnection::OnServiceLost);
}

TRasConnection::~TRasConnection()
{
    if (!m_leaveOpen && Available())
        HangUp();
}

void TRasConnection::SetConnected(bool value)
{
    if (value == Connected())
        return;
    if (value)
        Dial();
    else
        HangUp();
}

// Takes effect in turn, so an operation asked for earlier still sees the old entry.
void TRasConnection::SetConnection(const QString& value)
{
    Enqueue([this, value](std::function<void()> next) {
        GetEntries([this, value, next](const QStringList& names) {
            m_connection = names.contains(value, Qt::CaseInsensitive) ? value : QString();
            ReadEntryParamsStep([this, next] {
                emit ConnectionChecked();
                next();
            });
        });
    });
}

void TRasConnection::SetPhoneBook(const QString& value)
{
    if (value.isEmpty() || QFileInfo(value).isFile())
        m_phoneBook = value;
}

void TRasConnection::GetEntries(std::function<void(const QStringList&)> done)
{
    m_backend->ListEntries(
        [this, done](const TRasFailure& failure, const QList<TRasEntry>& entries) {
            QStringList names;
            if (failure.Failed())
                m_lastError = failure.Text;
            else
                for (const TRasEntry& entry : entries)
                    names << entry.Name;
            done(names);
        });
}

void TRasConnection::ReadEntryParams(std::function<void()> done)
{
    Enqueue([this, done](std::function<void()> next) {
        ReadEntryParamsStep([done, next] {
            if (done)
                done();
            next();
        });
    });
}

void TRasConnection::NeedDial(std::function<void(bool)> done)
{
    Enqueue([this, done](std::function<void()> next) {
        NeedDialStep([done, next](bool need) {
            done(need);
            next();
        });
    });
}

void TRasConnection::Dial()
{
    const quint64 ticket = m_hangUps;
    Enqueue([this, ticket](std::function<void()> next) { DialStep(ticket, next); });
}

void TRasConnection::HangUp()
{
    ++m_hangUps; // a dial still being started must not go on
    CloseLine();
}

void TRasConnection::CloseLine()
{
    if (!m_ownsConnection || m_handle == 0)
        return;
    // Our own hang-up is no news: the closing connection is no longer reported.
    if (m_dialHandle == m_handle)
        m_dialHandle = 0;
    m_backend->Deactivate(m_handle, KeepFailure());
    m_handle = 0;
}

void TRasConnection::Abort()
{
    HangUp();
    m_aborted = true;
    m_ownsConnection = false;
}

void TRasConnection::MinimizeDialWindow(std::function<void()> done)
{
    m_waiter.After(DialWindowWaitMs, this, std::move(done));
}

QString TRasConnection::StateText(int state) const
{
    return RasTexts::StateText(state, m_disconnectText);
}

void TRasConnection::Enqueue(Step step)
{
    m_steps.push_back(std::move(step));
    if (!m_stepRunning)
        RunNext();
}

void TRasConnection::RunNext()
{
    if (m_steps.empty()) {
        m_stepRunning = false;
        return;
    }
    m_stepRunning = true;
    Step step = std::move(m_steps.front());
    m_steps.pop_front();
    auto called = std::make_shared<bool>(false);
    step([this, called] {
        if (*called)
            return;
        *called = true;
        RunNext();
    });
}

void TRasConnection::FindEntry(
    const QString& name, std::function<void(const TRasFailure&, std::optional<TRasEntry>)> found)
{
    m_backend->ListEntries(
        [name, found](const TRasFailure& failure, const QList<TRasEntry>& entries) {
            if (failure.Failed()) {
                found(failure, std::nullopt);
                return;
            }
            for (const TRasEntry& entry : entries) {
                if (entry.Name.compare(name, Qt::CaseInsensitive) == 0) {
                    found({}, entry);
                    return;
                }
            }
            const QString text =
                name.isEmpty()
                    ? QStringLiteral("No dial-up connection is chosen")
                    : QStringLiteral("NetworkManager has no connection named \"%1\"").arg(name);
            found({RasError::UnknownEntry, text}, std::nullopt);
        });
}

void TRasConnection::ReadEntryParamsStep(std::function<void()> done)
{
    m_phoneNumber.clear();
    m_entryParamsRead = false;
    if (m_connection.isEmpty()) {
        done();
        return;
    }
    FindEntry(m_connection,
              [this, done](const TRasFailure& failure, std::optional<TRasEntry> entry) {
                  if (!entry) {
                      m_lastError = failure.Text;
                      done();
                      return;
                  }
                  m_backend->ReadParams(*entry, [this, done](const TRasFailure& failure,
                                                             const TRasEntryParams& params) {
                      if (failure.Failed()) {
                          m_lastError = failure.Text;
                      } else {
                          m_entryParamsRead = true;
                          m_phoneNumber = params.PhoneNumber;
                          m_userID = params.UserName;
                          m_password = params.Password;
                      }
                      done();
                  });
              });
}

// The entry's own connection open (or opening) needs no dial. Only dial-up kinds count as
// "another connection": the LAN or Wi-Fi is never used in place of a dial, nor hung up.
// More than one other dial-up connection open means the open line is not known, so a dial
// is made, as when none is open.
void TRasConnection::NeedDialStep(std::function<void(bool)> done)
{
    m_backend->ListActive([this, done](const TRasFailure& failure,
                                       const QList<TRasActive>& active) {
        if (failure.Failed()) {
            m_lastError = failure.Text;
            done(true);
            return;
        }
        ForgetClosedLine(active);
        QList<TRasActive> others;
        for (const TRasActive& a : active) {
            if (a.State != NmState::Activating && a.State != NmState::Activated)
                continue;
            if (!m_connection.isEmpty() && a.Name.compare(m_connection, Qt::CaseInsensitive) == 0) {
                m_handle = a.Handle;
                done(false);
                return;
            }
            if (RasTexts::IsDialUpKind(a.Kind))
                others << a;
        }
        if (others.size() != 1) {
            done(true);
            return;
        }
        m_handle = others.first().Handle;
        if (!m_forceConnection) {
            done(false);
            return;
        }
        if (m_dialHandle == m_handle)
            m_dialHandle = 0;
        m_backend->Deactivate(m_handle, KeepFailure());
        m_waiter.After(ForcedHangUpWaitMs, this, [this, done] {
            m_handle = 0;
            done(true);
        });
    });
}

// A connection that was used but not dialled here closes without a notification; its
// handle must not stay behind, or the next dial would take the line for open and never start.
void TRasConnection::ForgetClosedLine(const QList<TRasActive>& active)
{
    if (m_handle == 0 || m_handle == m_dialHandle)
        return;
    for (const TRasActive& a : active)
        if (a.Handle == m_handle &&
            (a.State == NmState::Activating || a.State == NmState::Activated))
            return;
    m_handle = 0;
}

void TRasConnection::DialStep(quint64 ticket, std::function<void()> next)
{
    if (ticket != m_hangUps || m_handle != 0) {
        next();
        return;
    }
    NeedDialStep([this, ticket, next](bool need) {
        if (ticket != m_hangUps) {
            next();
        } else if (!need) {
            Report(RasTexts::StateConnected, RasError::None);
            next();
        } else {
            StartDial(ticket, next);
        }
    });
}

void TRasConnection::StartDial(quint64 ticket, std::function<void()> next)
{
    FindEntry(m_connection, [this, ticket, next](const TRasFailure& failure,
                                                 std::optional<TRasEntry> entry) {
        if (ticket != m_hangUps)
            return next();
        if (!entry) {
            FailDial(failure);
            return next();
        }
        m_backend->ReadParams(*entry, [this, ticket, next, entry](const TRasFailure& failure,
                                                                  const TRasEntryParams& stored) {
            if (ticket != m_hangUps)
                return next();
            if (failure.Failed()) {
                FailDial(failure);
                return next();
            }
            StoreCredentials(ticket, *entry, stored, next);
        });
    });
}

// The user name and password given here replace the stored ones for this dial; an empty
// one keeps what NetworkManager has. The profile is only written when something changed.
void TRasConnection::StoreCredentials(quint64 ticket, const TRasEntry& entry,
                                      const TRasEntryParams& stored, std::function<void()> next)
{
    TRasEntryParams wanted = stored;
    if (!m_userID.isEmpty())
        wanted.UserName = m_userID;
    if (!m_password.isEmpty())
        wanted.Password = m_password;
    // A password not to be kept goes from the disk even when it did not change.
    const bool savedCopyToGo = m_removePassword && !stored.Password.isEmpty();
    if (wanted.UserName == stored.UserName && wanted.Password == stored.Password && !savedCopyToGo)
        return Activate(ticket, entry, next);
    m_backend->StoreParams(entry, wanted, !m_removePassword,
                           [this, ticket, next, entry](const TRasFailure& failure) {
                               if (ticket != m_hangUps)
                                   return next();
                               if (failure.Failed()) {
                                   FailDial(failure);
                                   return next();
                               }
                               Activate(ticket, entry, next);
                           });
}

void TRasConnection::Activate(quint64 ticket, const TRasEntry& entry, std::function<void()> next)
{
    m_ownsConnection = true;
    m_backend->Activate(
        entry, [this, ticket, next](const TRasFailure& failure, quint32 handle, int state) {
            if (ticket != m_hangUps) {
                // Hung up while NetworkManager was taking the dial: close what it opened.
                if (!failure.Failed())
                    m_backend->Deactivate(handle, KeepFailure());
                return next();
            }
            if (failure.Failed()) {
                FailDial(failure);
                return next();
            }
            m_handle = handle;
            m_dialHandle = handle;
            m_dialState = NmState::Unknown;
            Report(StateOpenPort, RasError::None);
            OnBackendState(handle, state, 0);
            next();
        });
}

// A dial that cannot start is reported like a failed one, so the caller can retry or give
// up instead of waiting for a notification that never comes.
void TRasConnection::FailDial(const TRasFailure& failure)
{
    CloseLine(); // not HangUp: a dial asked for after this one still runs
    m_disconnectText = failure.Text;
    Report(RasTexts::StateDisconnected, failure.Code);
}

// NetworkManager's states of the dialled connection become dial notifications:
//   activating   -> 2 "Connect device" (after 0 "Open Port" when the dial was taken)
//   activated    -> 8192 "Done / Connected"
//   deactivating -> nothing; the closed state follows
//   deactivated  -> 8193 with DisconnectText the reason in words; the error is the reason's
//                   number, except "user disconnected" (2), which is 631
void TRasConnection::OnBackendState(quint32 handle, int state, int reason)
{
    if (handle == 0 || handle != m_dialHandle || state == m_dialState)
        return;
    m_dialState = state;
    switch (state) {
    case NmState::Activating:
        Report(StateConnectDevice, RasError::None);
        break;
    case NmState::Activated:
        m_ownsConnection = true;
        Report(RasTexts::StateConnected, RasError::None);
        break;
    case NmState::Deactivated:
        m_dialHandle = 0;
        if (m_handle == handle)
            m_handle = 0; // the line is gone; a stale handle would block the next dial
        m_disconnectText = RasTexts::ReasonText(reason);
        Report(RasTexts::StateDisconnected, reason == 2 ? RasError::UserDisconnected : reason);
        break;
    default:
        break;
    }
}

// NetworkManager leaves lines up when it stops, so only a dial still under way is lost.
void TRasConnection::OnServiceLost()
{
    if (m_dialHandle == 0)
        return;
    const bool connected = m_dialState == NmState::Activated;
    const quint32 handle = m_dialHandle;
    m_dialHandle = 0;
    if (connected)
        return;
    if (m_handle == handle)
        m_handle = 0;
    m_disconnectText = QStringLiteral("NetworkManager left the system bus during the dial");
    Report(RasTexts::StateDisconnected, RasError::ServiceGone);
}

TRasBackend::Done TRasConnection::KeepFailure()
{
    return [this](const TRasFailure& failure) {
        if (!failure.Failed())
            return;
        m_lastError = failure.Text;
        emit HangUpFailed(failure.Text);
    };
}

void TRasConnection::Report(int state, int error)
{
    emit OnStateChange(this, state, error, StateText(state));
}
