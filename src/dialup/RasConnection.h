#pragma once

#include "dialup/RasBackend.h"
#include "dialup/RasTypes.h"
#include "dialup/Waiter.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

// Opens and closes a dial-up connection through NetworkManager and reports the progress
// of a dial through OnStateChange. Where NetworkManager is missing the component is
// unavailable and calls nothing.
//
// Everything that asks the service answers later, on the event loop. Operations that
// depend on each other (setting Connection, ReadEntryParams, NeedDial, Dial) run one after
// another in the order they were called, so "set the entry, then dial" works as written.
class TRasConnection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Connected READ Connected WRITE SetConnected)
    Q_PROPERTY(bool ForceConnection READ ForceConnection WRITE SetForceConnection)
    Q_PROPERTY(bool LeaveOpen READ LeaveOpen WRITE SetLeaveOpen)
    Q_PROPERTY(QString UserID READ UserID WRITE SetUserID)
    Q_PROPERTY(QString Password READ Password WRITE SetPassword)
    Q_PROPERTY(QString Connection READ Connection WRITE SetConnection)
    Q_PROPERTY(QString PhoneBook READ PhoneBook WRITE SetPhoneBook)
    Q_PROPERTY(bool RemovePassword READ RemovePassword WRITE SetRemovePassword)
public:
    static constexpr int DefaultCallTimeoutMs = 2000;

    // NetworkManager on the system bus, when it is there.
    explicit TRasConnection(QObject* parent = nullptr);
    TRasConnection(std::unique_ptr<TRasBackend> backend, TWaiter& waiter,
                   QObject* parent = nullptr);
    ~TRasConnection() override;

    bool Connected() const { return m_handle != 0; }
    void SetConnected(bool value);
    bool ForceConnection() const { return m_forceConnection; }
    void SetForceConnection(bool value) { m_forceConnection = value; }
    bool LeaveOpen() const { return m_leaveOpen; }
    void SetLeaveOpen(bool value) { m_leaveOpen = value; }
    QString UserID() const { return m_userID; }
    void SetUserID(const QString& value) { m_userID = value; }
    QString Password() const { return m_password; }
    void SetPassword(const QString& value) { m_password = value; }
    QString Connection() const { return m_connection; }
    // Kept as given when it names an entry (in any letter case), else emptied; then the
    // entry's stored parameters are read. ConnectionChecked follows; until then Connection
    // keeps its old value.
    void SetConnection(const QString& value);
    QString PhoneBook() const { return m_phoneBook; }
    // Only an empty text or the path of an existing file is taken.
    void SetPhoneBook(const QString& value);
    bool RemovePassword() const { return m_removePassword; }
    void SetRemovePassword(bool value) { m_removePassword = value; }

    QString PhoneNumber() const { return m_phoneNumber; }
    QString DisconnectText() const { return m_disconnectText; }
    bool EntryParamsRead() const { return m_entryParamsRead; }
    bool Aborted() const { return m_aborted; }
    bool Available() const { return m_backend->Available(); }
    quint32 Handle() const { return m_handle; }
    bool OwnsConnection() const { return m_ownsConnection; }
    // The last failure of a call that has no notification of its own (a hang-up).
    QString LastError() const { return m_lastError; }

    // The names of all entries, in the service's order; none when the service fails.
    void GetEntries(std::function<void(const QStringList&)> done);
    void ReadEntryParams(std::function<void()> done = {});
    // Answers whether a dial is needed; may hang up another dial-up connection first.
    void NeedDial(std::function<void(bool)> done);
    void Dial();
    void HangUp();
    void Abort();
    // There is no dial window to put away here; the one-second pause is kept so the
    // caller's steps stay in their order, without blocking.
    void MinimizeDialWindow(std::function<void()> done);

    QString StateText(int state) const;

signals:
    void OnStateChange(QObject* Sender, int NewState, int Error, const QString& StateText);
    // Setting Connection has finished: the name is checked and the entry's parameters read.
    void ConnectionChecked();
    // NetworkManager did not close a line the program asked it to close.
    void HangUpFailed(const QString& reason);

private:
    using Step = std::function<void(std::function<void()> next)>;

    void Enqueue(Step step);
    void RunNext();

    void FindEntry(const QString& name,
                   std::function<void(const TRasFailure&, std::optional<TRasEntry>)> found);
    void ReadEntryParamsStep(std::function<void()> done);
    void NeedDialStep(std::function<void(bool)> done);
    void ForgetClosedLine(const QList<TRasActive>& active);
    void DialStep(quint64 ticket, std::function<void()> next);
    void StartDial(quint64 ticket, std::function<void()> next);
    void StoreCredentials(quint64 ticket, const TRasEntry& entry, const TRasEntryParams& stored,
                          std::function<void()> next);
    void Activate(quint64 ticket, const TRasEntry& entry, std::function<void()> next);
    void FailDial(const TRasFailure& failure);
    void CloseLine();

    void OnBackendState(quint32 handle, int state, int reason);
    void OnServiceLost();
    void Report(int state, int error);
    // A callback for calls whose failure has no notification of its own.
    TRasBackend::Done KeepFailure();

    std::unique_ptr<TRasBackend> m_backend;
    TWaiter& m_waiter;

    QString m_phoneBook;
    QString m_connection;
    QString m_userID;
    QString m_password;
    QString m_phoneNumber;
    QString m_disconnectText;
    QString m_lastError;
    bool m_entryParamsRead = false;
    bool m_aborted = false;
    bool m_removePassword = true;
    quint32 m_handle = 0;
    bool m_forceConnection = false;
    bool m_leaveOpen = true;
    bool m_ownsConnection = false;

    // The connection this component dialled and still reports on, and its last state.
    quint32 m_dialHandle = 0;
    int m_dialState = NmState::Unknown;
    // Raised by every hang-up: a dial that started before it must not go on.
    quint64 m_hangUps = 0;

    std::deque<Step> m_steps;
    bool m_stepRunning = false;
};
