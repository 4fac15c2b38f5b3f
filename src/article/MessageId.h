#pragma once

#include <QString>

// Message-IDs chosen by the poster (RFC 5536): "<local@domain>", at most 250 octets with the
// angle brackets, the local part 26 characters of base32 from 130 random bits, so that no two
// posts anywhere share one. The domain names no machine and no address unless the user
// sets one that does.
namespace MessageId {

constexpr const char* DefaultDomain = "quorvel.invalid";

QString Make(const QString& domain = QString::fromLatin1(DefaultDomain));
// A domain the Message-ID syntax takes (dot-atoms of letters, digits and -._~!$&'*+=^`{|}):
// false for an empty one, one with blanks, brackets or "@", or a too long one.
bool IsValidDomain(const QString& domain);
// Why a Message-ID read from elsewhere (an NZB file) cannot be asked for, empty when it can:
// "<left@right>" of printable US-ASCII without blanks or inner angle brackets, at most 250
// octets (RFC 3977 3.6, RFC 5536 3.1.3), as news servers check it.
QString Problem(const QString& id);

} // namespace MessageId
