#include "platform/sysinfo/SysSource.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <x86intrin.h>
#endif

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/sysinfo/GraphicsRuntime.h"
#include "platform/sysinfo/PrintSystem.h"

extern char** environ;

namespace qv::sysinfo {

namespace fs = std::filesystem;

namespace {

std::string RealUserName() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name)
        return found->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : "";
}

std::vector<TNetInterface> RealInterfaces() {
    std::vector<TNetInterface> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return result;
    std::vector<std::vector<std::string>> v6;
    for (ifaddrs* it = list; it; it = it->ifa_next) {
        if (!it->ifa_name) continue;
        auto seen = std::find_if(result.begin(), result.end(),
                                 [&](const TNetInterface& known) { return known.Name == it->ifa_name; });
        if (seen == result.end()) {
            TNetInterface added;
            added.Name = it->ifa_name;
            added.Up = (it->ifa_flags & IFF_UP) != 0;
            added.Loopback = (it->ifa_flags & IFF_LOOPBACK) != 0;
            result.push_back(std::move(added));
            v6.emplace_back();
            seen = result.end() - 1;
        }
        const sockaddr* address = it->ifa_addr;
        if (!address) continue;
        char text[INET6_ADDRSTRLEN] = {};
        const auto index = static_cast<std::size_t>(seen - result.begin());
        if (address->sa_family == AF_INET &&
            ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text))
            seen->Addresses.emplace_back(text);
        else if (address->sa_family == AF_INET6 &&
                 ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text))
            v6[index].emplace_back(text);
    }
    ::freeifaddrs(list);
    for (std::size_t i = 0; i < result.size(); ++i)
        result[i].Addresses.insert(result[i].Addresses.end(), v6[i].begin(), v6[i].end());
    return result;
}

TCpuidRegs RealCpuid([[maybe_unused]] std::uint32_t leaf, [[maybe_unused]] std::uint32_t subLeaf) {
    TCpuidRegs regs;
#if defined(__i386__) || defined(__x86_64__)
    __cpuid_count(leaf, subLeaf, regs.Eax, regs.Ebx, regs.Ecx, regs.Edx);
#endif
    return regs;
}

std::uint64_t RealTsc() {
#if defined(__i386__) || defined(__x86_64__)
    return __rdtsc();
#else
    return 0;
#endif
}

// Collapses "." and ".." of an absolute machine path (".." stops at "/").
std::string NormalizeMachinePath(std::string_view path) {
    // "/part" after "/part"; ".." takes the last one back off.
    std::string result;
    result.reserve(path.size() + 1);
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t end = path.find('/', at);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(at, end - at);
        if (part == "..") {
            if (!result.empty()) result.resize(result.rfind('/'));
        } else if (!part.empty() && part != ".") {
            result += '/';
            result += part;
        }
        at = end + 1;
    }
    return result.empty() ? "/" : result;
}

}  // namespace

TSysSource::TSysSource() : TSysSource("/") {}

TSysSource::TSysSource(std::string root) : root_(std::move(root)) {
    if (root_.empty() || root_.back() != '/') root_ += '/';
    GetEnv = [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (!value) return std::nullopt;
        return std::string(value);
    };
    Environment = [] {
        std::vector<std::string> block;
        for (char** entry = environ; entry && *entry; ++entry) block.emplace_back(*entry);
        return block;
    };
    UserName = RealUserName;
    StatFs = [root = root_](const std::string& machinePath) -> std::optional<TFsStats> {
        struct statvfs st {};
        const std::string real = root + NormalizeMachinePath(machinePath).substr(1);
        if (::statvfs(real.c_str(), &st) != 0) return std::nullopt;
        TFsStats stats;
        stats.BlockSize = st.f_frsize;
        stats.Blocks = st.f_blocks;
        stats.Available = st.f_bavail;
        stats.FsId = st.f_fsid;
        stats.NameMax = st.f_namemax;
        return stats;
    };
    Interfaces = RealInterfaces;
    Printers = QueryPrintSystem;
    Now = [] {
        using namespace std::chrono;
        return duration<double>(system_clock::now().time_since_epoch()).count();
    };
    PageSize = [] {
        long size = ::sysconf(_SC_PAGESIZE);
        return static_cast<std::int64_t>(size > 0 ? size : 4096);
    };
    AddressSpaceLimit = []() -> std::uint64_t {
        rlimit limit{};
        if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 0;
        return limit.rlim_cur;
    };
    GraphicsRuntime = QueryGraphicsRuntime;
    Screen = QueryScreen;
    Cpuid = RealCpuid;
    ReadTsc = RealTsc;
    Clock = &sys::SystemClock();
}

const TSysSource& TSysSource::Machine() {
    static const TSysSource machine;
    return machine;
}

std::string TSysSource::PathOf(std::string_view machinePath) const {
    // ".." never climbs above the root.
    const std::string normal = NormalizeMachinePath(machinePath);
    std::string path;
    path.reserve(root_.size() + normal.size());
    path += root_;
    path.append(normal, 1);
    return path;
}

std::string TSysSource::MachinePathOf(const std::string& realPath) const {
    if (root_ == "/") return realPath;
    if (realPath.compare(0, root_.size() - 1, root_, 0, root_.size() - 1) != 0) return "";
    std::string rest = realPath.substr(root_.size() - 1);
    if (rest.empty()) return "/";
    if (rest.front() != '/') return "";
    return rest;
}

std::optional<std::string> TSysSource::ReadText(std::string_view machinePath, std::size_t limit) const {
    // Only regular files are read (a FIFO or device planted in the tree
    // never blocks the inventory); /proc and /sys files are regular with a
    // stated size of 0, so the size is the bytes read.
    const int fd = ::open(PathOf(machinePath).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::string text;
    char buffer[4096];
    while (text.size() < limit) {
        const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, limit - text.size()));
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

std::string TSysSource::ReadLine(std::string_view machinePath) const {
    std::optional<std::string> text = ReadText(machinePath, 4096);
    if (!text) return "";
    const std::size_t end = text->find('\n');
    return TrimBlanks(std::string_view(*text).substr(0, end));
}

bool TSysSource::Exists(std::string_view machinePath) const {
    std::error_code ec;
    return fs::exists(PathOf(machinePath), ec);
}

bool TSysSource::IsDirectory(std::string_view machinePath) const {
    std::error_code ec;
    return fs::is_directory(PathOf(machinePath), ec);
}

std::vector<std::string> TSysSource::ListDir(std::string_view machinePath) const {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(PathOf(machinePath), ec);
    if (ec) return names;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> TSysSource::ReadLink(std::string_view machinePath) const {
    std::error_code ec;
    fs::path target = fs::read_symlink(PathOf(machinePath), ec);
    if (ec) return std::nullopt;
    return target.string();
}

std::optional<std::string> TSysSource::Resolve(std::string_view machinePath) const {
    // Walk the path a component at a time so that links, absolute ones
    // included, stay inside the root.
    std::string pending = NormalizeMachinePath(machinePath);
    std::string done = "/";
    int links = 0;
    std::size_t at = 1;
    while (at < pending.size() + 1) {
        std::size_t end = pending.find('/', at);
        if (end == std::string::npos) end = pending.size();
        const std::string part = pending.substr(at, end - at);
        const std::string rest = end < pending.size() ? pending.substr(end) : "";
        at = end + 1;
        if (part.empty()) continue;
        const std::string candidate = done == "/" ? "/" + part : done + "/" + part;
        if (std::optional<std::string> target = ReadLink(candidate)) {
            if (++links > 40) return std::nullopt;
            const std::string joined = (!target->empty() && target->front() == '/')
                                           ? *target
                                           : (done == "/" ? "/" : done + "/") + *target;
            pending = NormalizeMachinePath(joined + rest);
            done = "/";
            at = 1;
            continue;
        }
        done = candidate;
    }
    if (!Exists(done)) return std::nullopt;
    return done;
}

std::map<std::string, std::string> ParseShellAssignments(std::string_view text) {
    std::map<std::string, std::string> values;
    for (TLines lines(text); const auto raw = lines.Next();) {
        const std::string line = TrimBlanks(*raw);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        const std::string key = line.substr(0, eq);
        bool keyOk = true;
        for (char c : key) keyOk = keyOk && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
        if (!keyOk) continue;
        std::string value;
        bool ok = true;
        char quote = 0;
        for (std::size_t i = eq + 1; i < line.size(); ++i) {
            const char c = line[i];
            if (quote == '\'') {
                if (c == '\'') quote = 0;
                else value += c;
            } else if (c == '\\' && i + 1 < line.size() && quote != '\'') {
                value += line[++i];
            } else if (quote == '"') {
                if (c == '"') quote = 0;
                else value += c;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == ' ' || c == '\t') {
                break;  // an unquoted blank ends the value
            } else {
                value += c;
            }
        }
        if (quote) ok = false;
        if (ok) values[key] = value;
    }
    return values;
}

std::map<std::string, std::uint64_t> ParseColonNumbers(std::string_view text) {
    std::map<std::string, std::uint64_t> values;
    for (TLines lines(text); const auto next = lines.Next();) {
        const std::string_view line = *next;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) continue;
        const std::vector<std::string> fields = SplitFields(line.substr(colon + 1));
        if (fields.empty()) continue;
        std::optional<std::uint64_t> parsed = ParseNumber<std::uint64_t>(fields[0]);
        if (!parsed) continue;
        std::uint64_t number = *parsed;
        if (fields.size() > 1 && fields[1] == "kB") {
            if (number > UINT64_MAX / 1024) continue;
            number *= 1024;
        }
        values[std::string(line.substr(0, colon))] = number;
    }
    return values;
}

TIniSections ParseIniText(std::string_view text) {
    TIniSections sections;
    std::string section;
    for (TLines lines(text); const auto raw = lines.Next();) {
        const std::string line = TrimBlanks(*raw);
        if (line.empty() || line.front() == '#' || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close != std::string::npos) section = line.substr(1, close - 1);
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = TrimBlanks(std::string_view(line).substr(0, eq));
        if (key.empty()) continue;
        sections[section].emplace(key, TrimBlanks(std::string_view(line).substr(eq + 1)));
    }
    return sections;
}

std::vector<TDpkgPackage> ParseDpkgStatus(std::string_view text) {
    std::vector<TDpkgPackage> packages;
    TDpkgPackage current;
    auto finish = [&] {
        if (!current.Package.empty()) packages.push_back(std::move(current));
        current = TDpkgPackage{};
    };
    for (TLines lines(text); const auto next = lines.Next();) {
        const std::string_view line = *next;
        if (TrimBlanks(line).empty()) {
            finish();
            continue;
        }
        if (line.front() == ' ' || line.front() == '\t') continue;  // continuation
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, colon);
        const std::string value = TrimBlanks(line.substr(colon + 1));
        if (key == "Package") current.Package = value;
        else if (key == "Version") current.Version = value;
        else if (key == "Status") current.Status = value;
    }
    finish();
    return packages;
}

std::map<std::string, std::string> ParseUdevProperties(std::string_view text) {
    std::map<std::string, std::string> values;
    for (TLines lines(text); const auto next = lines.Next();) {
        const std::string_view line = *next;
        if (line.size() < 3 || line.substr(0, 2) != "E:") continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 2) continue;
        values.emplace(std::string(line.substr(2, eq - 2)), std::string(line.substr(eq + 1)));
    }
    return values;
}

std::vector<TAlsaCard> ParseAlsaCards(std::string_view text) {
    // " 0 [PCH            ]: HDA-Intel - HDA Intel PCH"
    // "                      HDA Intel PCH at 0xf7f10000 irq 32"
    std::vector<TAlsaCard> cards;
    bool wantLongName = false;
    for (TLines lines(text); const auto raw = lines.Next();) {
        const std::string line = TrimBlanks(*raw);
        const std::size_t open = line.find(" [");
        const std::size_t close = line.find("]: ");
        const bool head = open != std::string::npos && close != std::string::npos && open < close && open > 0 &&
                          line.find_first_not_of("0123456789") == open;
        // The kernel numbers its cards below a thousand (the list's column is three wide).
        std::optional<int> index = head ? ParseNumber<int>(std::string_view(line).substr(0, open)) : std::nullopt;
        if (index && *index > 999) index.reset();
        if (head && !index) {
            wantLongName = false;  // a card number out of range: the card is skipped
        } else if (head) {
            TAlsaCard card;
            card.Index = *index;
            card.Id = TrimBlanks(std::string_view(line).substr(open + 2, close - open - 2));
            const std::string rest = line.substr(close + 3);
            const std::size_t dash = rest.find(" - ");
            card.Driver = TrimBlanks(std::string_view(rest).substr(0, dash));
            if (dash != std::string::npos) card.ShortName = TrimBlanks(std::string_view(rest).substr(dash + 3));
            cards.push_back(card);
            wantLongName = true;
        } else if (wantLongName && !cards.empty()) {
            cards.back().LongName = line;
            wantLongName = false;
        }
    }
    return cards;
}

std::optional<double> ParseDecimal(std::string_view text) {
    double value = 0;
    if (text.empty() || text.front() == '+') return std::nullopt;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::vector<std::string> SplitFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        std::size_t end = at;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        if (end > at) fields.emplace_back(line.substr(at, end - at));
        at = end;
    }
    return fields;
}

std::string TrimBlanks(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

}  // namespace qv::sysinfo
