#pragma once
// What the update check decides apart from any window: how long it may take,
// how the maker's version number is read, and which download address may go
// to the shell. Both faces of the About box call these, so the rules are the
// same everywhere. Plain functions; any thread.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "net/http_client.h"

namespace tarnwell {

// The check blocks the user-interface thread, so all of it together —
// resolving, connecting, the proxy, the request and the response — gets at
// most this long; a server that trickles its answer cannot freeze the
// program for longer.
inline constexpr std::chrono::seconds kUpdateCheckTimeLimit{30};

// The client's limits for a check that may take `total` (at most the limit
// above; a test passes less).
HttpLimits UpdateCheckLimits(std::chrono::milliseconds total = kUpdateCheckTimeLimit);

// The version number of the versions document. The maker writes the document,
// not the user's region, so "." is always a decimal separator; the region's
// `decimalSeparator` is accepted as well. The text: optional white space, an
// optional sign, digits with at most one separator among them, an optional
// exponent, optional white space; nothing else. nullopt for any other text and
// for a number beyond the range of a double.
std::optional<double> ParseVersionNumber(std::string_view text, std::string_view decimalSeparator);

// The download address as the document gives it, without the white space
// around it that a pretty-printed document puts there.
std::string TrimDownloadAddress(std::string_view address);

// Whether the address may be handed to the shell. The document comes over
// plain HTTP, which anyone on the way can answer, and the shell would start a
// program or open a local file or share as readily as a web page: only http,
// https and ftp addresses go, and the empty text, which opens nothing anyone
// could choose.
bool IsOpenableDownloadAddress(std::string_view address);

// What the user is told when the address is not handed to the shell.
std::string RefusedDownloadAddressText(std::string_view address);

}  // namespace tarnwell
