#pragma once

#include <QString>

#include <optional>

// What a file is: its size, when it last changed and a hash of its first and last MiB. A
// file posted in parts is read again when a stopped upload goes on; one whose identity is not
// what the journal recorded is another file, and its earlier parts would not fit.
struct TFileIdentity
{
    qint64 Size = 0;
    qint64 Modified = 0; // milliseconds since the epoch
    QString Hash;        // SHA-256 of the first and the last MiB, in hex

    bool operator==(const TFileIdentity&) const = default;

    // The identity of the file at path; none when it cannot be read (error says why).
    static std::optional<TFileIdentity> Of(const QString& path, QString* error);
};
