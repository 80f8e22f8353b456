#include "tests/online/SessionBus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/system/Files.h"

extern char** environ;

namespace qv::test {

namespace {

// Generous: a daemon and its services start slowly on a loaded machine.
constexpr auto kStartDeadline = std::chrono::minutes(2);
constexpr auto kStopDeadline = std::chrono::minutes(1);

constexpr const char* kServiceDir = "/usr/share/dbus-1/services/";
constexpr const char* kAddressBookServices[] = {"org.gnome.evolution.dataserver.Sources5.service",
                                                "org.gnome.evolution.dataserver.AddressBook10.service"};

std::vector<std::pair<std::string, std::string>> PrivateFolders(const std::string& root) {
    return {{"HOME", root + "home"},
            {"XDG_DATA_HOME", root + "data"},
            {"XDG_CONFIG_HOME", root + "config"},
            {"XDG_CACHE_HOME", root + "cache"},
            {"XDG_RUNTIME_DIR", root + "run"}};
}

}  // namespace

void UsePrivateUserFolders(const std::string& rootIn) {
    const std::string root = sys::WithTrailingSlash(rootIn);
    for (const auto& [name, path] : PrivateFolders(root)) {
        sys::CreateDirectories(path, 0700);
        chmod(path.c_str(), 0700);
        setenv(name.c_str(), path.c_str(), 1);
    }
    // GSettings of what starts here stay in memory.
    setenv("GSETTINGS_BACKEND", "memory", 1);
}

TPrivateSessionBus::TPrivateSessionBus(const std::string& rootIn, bool withAddressBook) : root_(sys::WithTrailingSlash(rootIn)) {
    UsePrivateUserFolders(root_);
    const std::string services = root_ + "services/";
    sys::CreateDirectories(services);
    if (withAddressBook) {
        for (const char* name : kAddressBookServices) {
            const auto text = sys::ReadFileText(std::string(kServiceDir) + name);
            if (!text) {
                error_ = std::string("no ") + kServiceDir + name + " (evolution-data-server is not installed)";
                return;
            }
            sys::WriteFileAtomic(services + name, *text);
        }
    }
    const std::string socket = root_ + "run/bus";
    const std::string address = "unix:path=" + socket;
    const std::string config = root_ + "bus.conf";
    sys::WriteFileAtomic(config,
                       "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                       " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                       "<busconfig>\n"
                       "  <type>session</type>\n"
                       "  <listen>" + address + "</listen>\n"
                       "  <servicedir>" + services + "</servicedir>\n"
                       "  <policy context=\"default\">\n"
                       "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                       "    <allow eavesdrop=\"true\"/>\n"
                       "    <allow own=\"*\"/>\n"
                       "  </policy>\n"
                       "</busconfig>\n");
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

    // The services leave the daemon's process group only by dying; once
    // the daemon is gone they are this process's to reap.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    std::string configArg = "--config-file=" + config;
    char prog[] = "dbus-daemon";
    char nofork[] = "--nofork";
    char print[] = "--print-address=1";
    char* argv[] = {prog, configArg.data(), nofork, print, nullptr};
    const int rc = posix_spawnp(&daemon_, prog, &actions, &attr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    close(pipeFds[1]);
    if (rc != 0) {
        daemon_ = -1;
        close(pipeFds[0]);
        error_ = std::string("dbus-daemon did not start: ") + std::strerror(rc);
        return;
    }
    // The daemon prints its address once it listens.
    std::string printed;
    const auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
    while (printed.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd p{pipeFds[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char buf[256];
        const ssize_t n = read(pipeFds[0], buf, sizeof buf);
        if (n <= 0) break;
        printed.append(buf, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    if (printed.find('\n') == std::string::npos) {
        error_ = "dbus-daemon printed no address: " + printed;
        return;
    }
    address_ = address;
}

bool TPrivateSessionBus::Stop() {
    if (daemon_ <= 0) return true;
    const pid_t group = daemon_;
    daemon_ = -1;
    address_.clear();
    kill(-group, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kStopDeadline;
    bool killed = false;
    for (;;) {
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        if (kill(-group, 0) != 0 && errno == ESRCH) return true;
        if (std::chrono::steady_clock::now() >= deadline) {
            if (killed) return false;
            kill(-group, SIGKILL);
            killed = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TPrivateSessionBus::~TPrivateSessionBus() {
    Stop();
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace qv::test
