// The connection state, dial-up and the system's browser: what the program
// asks of the operating system before it goes online.
#pragma once

#include <functional>
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

// Whether the opener ended with exit status 0; called on the thread that
// waited for it, never on the caller's.
using TOpenerEnded = std::function<void(bool succeeded)>;

// Hands `address` to the desktop's opener ("xdg-open", found on PATH,
// started without a shell, its input and output /dev/null) and returns at
// once: an opener that keeps the browser in the foreground never holds the
// caller. A thread of its own waits for it (no child is left behind) and
// then calls `ended`, if given. Returns whether the opener was started.
bool StartDesktopOpener(const std::string& address, TOpenerEnded ended = {});

// StartDesktopOpener for web addresses only (IsWebUrl); false for anything
// else, which is never handed on.
bool ShellOpenUrl(const std::string& url, TOpenerEnded ended = {});

}  // namespace qv::sys
