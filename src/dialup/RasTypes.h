#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// Plain data passed between the dial-up component and its backends.

// Error codes of the dial-up notifications. 631 is the code the task code knows as "the
// user closed the port"; NetworkManager's own reasons (below 100) are passed as they are;
// failures the component sees itself use the 1000 range so they never collide with either.
namespace RasError {
constexpr int None = 0;
constexpr int UserDisconnected = 631;
constexpr int NotAvailable = 1000;
constexpr int ServiceGone = 1001;
constexpr int NoAnswer = 1002;
constexpr int UnknownEntry = 1003;
constexpr int Refused = 1004;
} // namespace RasError

// NetworkManager's active-connection states.
namespace NmState {
constexpr int Unknown = 0;
constexpr int Activating = 1;
constexpr int Activated = 2;
constexpr int Deactivating = 3;
constexpr int Deactivated = 4;
} // namespace NmState

// A failure of a backend call: Code 0 means success.
struct TRasFailure
{
    int Code = RasError::None;
    QString Text;

    bool Failed() const { return Code != RasError::None; }
};

// One dial-up entry: a connection profile.
struct TRasEntry
{
    QString Name;
    QString Kind; // "pppoe", "gsm", "vpn", "802-3-ethernet", ...
    QString Path; // the backend's own reference to the profile
};

// What the service keeps for an entry.
struct TRasEntryParams
{
    QString UserName;
    QString Password;
    QString PhoneNumber;
};

// One connection that is open or opening.
struct TRasActive
{
    quint32 Handle = 0;
    QString Name;
    QString Kind;
    int State = NmState::Unknown;
};
