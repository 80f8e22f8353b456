// The message another program (the scenario installer) sends to a running
// Quorvex over a local socket, and where that socket lives. Header only and
// POSIX only, so a program that links nothing else of ours can use it.
//
// The socket: $XDG_RUNTIME_DIR/Quorvex.sock (when it names a folder), else
// /tmp/Quorvex-<uid>.sock.
// A sender connects, writes one record and reads one acknowledgement byte.
// The record: dwData (uint32, little-endian), cbData (uint32, little-endian),
// then cbData bytes. dwData 1 with no data: "a scenario was installed".
#pragma once

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace qv::sys {

inline constexpr std::uint32_t kScenarioInstalledMessage = 1;
inline constexpr std::size_t kInstanceMessageHeaderSize = 8;
// The largest data part a receiver takes.
inline constexpr std::uint32_t kMaxInstanceMessageData = 4096;
inline constexpr std::uint8_t kInstanceMessageAck = 1;

// The runtime folder with a trailing '/' when `runtimeDir` names an existing
// folder; empty otherwise: then the instance socket and the instance lock
// both lie in /tmp, named for the user.
inline std::string RuntimeFolder(const char* runtimeDir) {
    struct stat st {};
    if (!runtimeDir || !*runtimeDir || ::stat(runtimeDir, &st) != 0 || !S_ISDIR(st.st_mode)) return {};
    std::string dir = runtimeDir;
    if (dir.back() != '/') dir += '/';
    return dir;
}

inline std::string InstanceSocketPath(const char* runtimeDir, unsigned uid) {
    if (const std::string dir = RuntimeFolder(runtimeDir); !dir.empty()) return dir + "Quorvex.sock";
    return "/tmp/Quorvex-" + std::to_string(uid) + ".sock";
}
inline std::string InstanceSocketPath() { return InstanceSocketPath(std::getenv("XDG_RUNTIME_DIR"), getuid()); }

struct TInstanceMessage {
    std::uint32_t dwData = 0;
    std::vector<std::uint8_t> Data;
};

inline std::vector<std::uint8_t> EncodeInstanceMessage(const TInstanceMessage& m) {
    std::vector<std::uint8_t> out(kInstanceMessageHeaderSize + m.Data.size());
    const auto size = static_cast<std::uint32_t>(m.Data.size());
    for (int i = 0; i < 4; ++i) {
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(m.dwData >> (8 * i));
        out[static_cast<std::size_t>(4 + i)] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    if (!m.Data.empty()) std::memcpy(out.data() + kInstanceMessageHeaderSize, m.Data.data(), m.Data.size());
    return out;
}

enum class TInstanceParse { Incomplete, Complete, Bad };

// Reads one record from the front of `bytes`. Complete: `out` holds it and
// `used` its length. Incomplete: more bytes are needed. Bad: the data part
// is larger than kMaxInstanceMessageData.
inline TInstanceParse ParseInstanceMessage(const std::uint8_t* bytes, std::size_t size, TInstanceMessage& out,
                                           std::size_t& used) {
    used = 0;
    if (size < kInstanceMessageHeaderSize) return TInstanceParse::Incomplete;
    std::uint32_t dw = 0, cb = 0;
    for (int i = 0; i < 4; ++i) {
        dw |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
        cb |= static_cast<std::uint32_t>(bytes[4 + i]) << (8 * i);
    }
    if (cb > kMaxInstanceMessageData) return TInstanceParse::Bad;
    if (size - kInstanceMessageHeaderSize < cb) return TInstanceParse::Incomplete;
    out.dwData = dw;
    out.Data.assign(bytes + kInstanceMessageHeaderSize, bytes + kInstanceMessageHeaderSize + cb);
    used = kInstanceMessageHeaderSize + cb;
    return TInstanceParse::Complete;
}

// Sends `m` to the program listening at `path` and waits for its answer.
// True when it acknowledged the record.
inline bool SendInstanceMessage(const std::string& path, const TInstanceMessage& m) {
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // A receiver that does not answer within 5 s counts as none.
    timeval wait{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait);
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const std::vector<std::uint8_t> bytes = EncodeInstanceMessage(m);
    std::size_t sent = 0;
    while (ok && sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) ok = false;
        else sent += static_cast<std::size_t>(n);
    }
    std::uint8_t ack = 0;
    ok = ok && ::recv(fd, &ack, 1, 0) == 1 && ack == kInstanceMessageAck;
    ::close(fd);
    return ok;
}

}  // namespace qv::sys
