// A session bus of the test's own: a dbus-daemon in a process group of its
// own, started with private XDG folders (the runtime folder 0700) so that
// the services it starts never see the user's real ones. With the address
// book it offers the Evolution Data Server's source registry and address
// book factory (their system service files, copied), nothing else. The test
// process then uses it as its session bus. The end stops the daemon and
// every process it started, and reaps them.
#pragma once

#include <sys/types.h>

#include <string>

namespace qv::test {

class TPrivateSessionBus {
public:
    // `root`: an empty folder for the bus's folders and socket.
    TPrivateSessionBus(const std::string& root, bool withAddressBook);
    ~TPrivateSessionBus();
    TPrivateSessionBus(const TPrivateSessionBus&) = delete;
    TPrivateSessionBus& operator=(const TPrivateSessionBus&) = delete;

    bool Started() const { return !address_.empty(); }
    // Why it did not start.
    const std::string& Error() const { return error_; }
    const std::string& Address() const { return address_; }
    // Whether the daemon and all it started have gone (after Stop).
    bool Stop();

private:
    std::string root_;
    std::string address_;
    std::string error_;
    pid_t daemon_ = -1;
};

// The private folders (XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME,
// XDG_RUNTIME_DIR 0700, HOME) under `root`, set for this process too.
void UsePrivateUserFolders(const std::string& root);

}  // namespace qv::test
