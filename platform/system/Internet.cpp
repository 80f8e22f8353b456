#include "platform/system/Internet.h"

#include "platform/system/Files.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

extern char** environ;

namespace qv::sys {

namespace {

// A routing table of the kernel is a line per route; larger is no table.
constexpr std::size_t kMaxRouteTableSize = 1u << 20;

// 0: no default route, 1: one found, -1: the table cannot be read.
int DefaultRouteIn(const std::string& path, bool ipv6) {
    const std::optional<std::string> table = ReadFileText(path, kMaxRouteTableSize);
    if (!table) return -1;
    std::istringstream in(*table);
    std::string line;
    if (!ipv6) std::getline(in, line);  // column titles
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f;
        std::string w;
        while (fields >> w) f.push_back(w);
        if (ipv6) {
            // destination, prefix length, ..., device last.
            if (f.size() < 10) continue;
            if (f[0] == std::string(32, '0') && f[1] == "00" && f[9] != "lo") return 1;
        } else {
            // Iface Destination Gateway Flags ...; flag 1 = the route is up.
            if (f.size() < 4) continue;
            unsigned long flags = std::strtoul(f[3].c_str(), nullptr, 16);
            if (f[1] == "00000000" && (flags & 1u) && f[0] != "lo") return 1;
        }
    }
    return 0;
}

}  // namespace

bool InternetGetConnectedState(const std::string& routeTable, const std::string& route6Table) {
    const int v4 = DefaultRouteIn(routeTable, false);
    if (v4 == 1) return true;
    const int v6 = DefaultRouteIn(route6Table, true);
    if (v6 == 1) return true;
    return v4 < 0 && v6 < 0;
}

bool InternetAutodial() { return true; }

bool IsWebUrl(const std::string& url) {
    std::size_t schemeEnd = 0;
    auto startsNoCase = [&](const char* prefix) {
        std::size_t i = 0;
        for (; prefix[i]; ++i) {
            if (i >= url.size() || std::tolower(static_cast<unsigned char>(url[i])) != prefix[i]) return false;
        }
        schemeEnd = i;
        return true;
    };
    if (!startsNoCase("http://") && !startsNoCase("https://")) return false;
    if (schemeEnd >= url.size() || url[schemeEnd] == '/') return false;
    for (unsigned char c : url) {
        if (c <= 0x20 || c == 0x7F) return false;
    }
    return true;
}

bool StartDesktopOpener(const std::string& address, TOpenerEnded ended) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = "xdg-open";
    std::string arg = address;
    char* argv[] = {program.data(), arg.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    const auto reap = [pid](const TOpenerEnded& done) {
        int status = 0;
        pid_t got = 0;
        while ((got = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
        }
        if (done) done(got == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    };
    try {
        // Detached: the program may end while a browser still runs.
        std::thread(reap, std::move(ended)).detach();
    } catch (const std::system_error&) {
        // No thread to wait with: the opener is left to the end of the
        // program rather than waited for here.
    }
    return true;
}

bool ShellOpenUrl(const std::string& url, TOpenerEnded ended) {
    if (!IsWebUrl(url)) return false;
    return StartDesktopOpener(url, std::move(ended));
}

}  // namespace qv::sys
