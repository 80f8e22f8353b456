// The connection state, dial-up and the system's browser: what the program
// asks of the operating system before it goes online.
#pragma once

#include <string>

namespace qv::sys {

// Whether the machine has a way out: a default route in `routeTable` (the
// kernel's IPv4 routing table, or a file of that format) or in the IPv6
// table beside it. A table that cannot be read counts as connected, so a
// machine without /proc never locks the player out.
bool InternetGetConnectedState(const std::string& routeTable = "/proc/net/route",
                               const std::string& route6Table = "/proc/net/ipv6_route");
// There is nothing to dial on this system: succeeds at once.
bool InternetAutodial();

// Whether `url` is an absolute http:// or https:// address (case-insensitive
// scheme, a host after it, no control characters or blanks).
bool IsWebUrl(const std::string& url);

// Hands `url` to the desktop's opener ("xdg-open", found on PATH, started
// without a shell, its output discarded). Only web addresses are opened.
// Returns whether the opener could be started and reported success.
bool ShellOpenUrl(const std::string& url);

}  // namespace qv::sys
