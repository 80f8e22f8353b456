// Hostile machine files: the bytes after the first as one of the text files
// the inventory reads (/proc, /etc, the user's XDG files, desktop entries,
// zone files; the first byte picks which), the others empty, through the
// objects that read them from a tree. Each reader sees every input meant for
// it, and an input costs one file written instead of all of them, in a
// memory file system where there is one.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/sysinfo/SysSource.h"
#include "sysinfo/MSI_Machine.h"
#include "sysinfo/MSI_Memory.h"
#include "sysinfo/MSI_OS.h"
#include "sysinfo/Syvex_Routines.h"

namespace {

const std::string& Root() {
    static const std::string root = [] {
        struct stat st {};
        const bool shm = ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && ::access("/dev/shm", W_OK) == 0;
        std::string pattern = std::string(shm ? "/dev/shm" : "/tmp") + "/quorvex-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) __builtin_trap();
        static const std::string made = pattern;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(made, ignored);
        });
        return pattern + "/";
    }();
    return root;
}

constexpr const char* kFiles[] = {"proc/meminfo", "proc/self/status", "proc/uptime", "proc/self/mounts",
                                  "proc/asound/cards", "etc/os-release", "home/u/.config/user-dirs.dirs",
                                  "home/u/.config/mimeapps.list", "usr/share/applications/a.desktop",
                                  "proc/sys/vm/mmap_min_addr",
                                  "proc/sys/kernel/osrelease", "etc/timezone", "usr/share/zoneinfo/Zone/Here",
                                  "proc/cpuinfo", "sys/devices/system/cpu/online"};
constexpr std::size_t kFileCount = sizeof kFiles / sizeof kFiles[0];
// The readers stop at 1 MiB; beyond 64 KiB an input reaches nothing new.
constexpr std::size_t kMaxText = 64 * 1024;

// Written in place and then cut to size: a file emptied and refilled would
// be flushed to disk on every close (ext4 does so for replaced contents).
void Put(const std::string& path, std::string_view text) {
    const std::string real = Root() + path;
    if (text.empty()) {
        if (::truncate(real.c_str(), 0) == 0) return;
    }
    const int fd = ::open(real.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) __builtin_trap();
    std::size_t at = 0;
    while (at < text.size()) {
        const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
        if (n <= 0) __builtin_trap();
        at += static_cast<std::size_t>(n);
    }
    if (::ftruncate(fd, static_cast<off_t>(text.size())) != 0) __builtin_trap();
    ::close(fd);
}

// Every file there and empty; the one given the last input.
std::size_t& Filled() {
    static std::size_t filled = [] {
        for (const char* path : kFiles) {
            std::filesystem::create_directories(std::filesystem::path(Root() + path).parent_path());
            Put(path, "");
        }
        return std::size_t{0};
    }();
    return filled;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > kMaxText + 1) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::size_t& filled = Filled();
    Put(kFiles[filled], "");
    filled = data[0] % kFileCount;
    Put(kFiles[filled], text);
    qv::sysinfo::TSysSource source(Root());
    source.GetEnv = [](const std::string& name) -> std::optional<std::string> {
        if (name == "HOME") return std::string("/home/u");
        if (name == "TZ") return std::string("Zone/Here");
        return std::nullopt;
    };
    // A small environment of its own: the test machine's would cost more
    // per input than the file does, and none of it comes from the input.
    source.Environment = [] { return std::vector<std::string>{"HOME=/home/u", "TZ=Zone/Here"}; };
    source.StatFs = [](const std::string&) { return std::optional<qv::sysinfo::TFsStats>(qv::sysinfo::TFsStats{}); };
    source.GraphicsRuntime = [] { return qv::sysinfo::TGraphicsRuntime{}; };
    source.Interfaces = [] { return std::vector<qv::sysinfo::TNetInterface>{}; };

    // The readers of the file given the input; the operating system object,
    // the costliest, for the files only it reads.
    const std::string_view file = kFiles[filled];
    auto is = [&](std::initializer_list<std::string_view> names) {
        for (std::string_view name : names)
            if (file == name) return true;
        return false;
    };
    if (is({"proc/meminfo", "proc/self/status", "proc/sys/vm/mmap_min_addr"})) {
        qv::TMemory memory(source);
        memory.GetInfo();
        if (memory.PhysicalFree > memory.PhysicalTotal || memory.MemoryLoad < 0 || memory.MemoryLoad > 100)
            __builtin_trap();
    }
    if (is({"proc/uptime", "proc/asound/cards", "proc/sys/kernel/osrelease", "proc/cpuinfo",
            "sys/devices/system/cpu/online"})) {
        qv::TMachine machine(source);
        machine.GetInfo();
        if (machine.SystemUpTime < 0) __builtin_trap();
    }
    if (is({"proc/self/mounts"})) {
        qv::TDiskInfo disk;
        qv::GetDiskInfo("/", disk, source);
    }
    if (is({"etc/os-release"})) qv::ReadSystemUnit(source);
    // The operating system object looks up the default browser (and mail
    // client) from the mime lists itself; a desktop entry it reaches only
    // through a list that names it.
    if (is({"usr/share/applications/a.desktop"})) {
        qv::GetDefaultBrowser(source);
        std::string target, arguments;
        qv::ResolveShellLink("/usr/share/applications/a.desktop", target, arguments, source);
    }
    if (is({"etc/timezone", "usr/share/zoneinfo/Zone/Here"})) {
        qv::TTimeZone zone;
        zone.GetInfo(source);
    }
    if (is({"etc/os-release", "home/u/.config/user-dirs.dirs", "proc/sys/kernel/osrelease",
            "home/u/.config/mimeapps.list"})) {
        qv::TOperatingSystem os(source);
        os.SetExceptionMode(qv::emRaise);
        os.GetInfo();
    }
    return 0;
}
