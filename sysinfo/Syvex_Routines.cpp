#include "sysinfo/Syvex_Routines.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include "foundation/TextUtil.h"

namespace qv {

using sysinfo::ParseIniText;
using sysinfo::ParseShellAssignments;
using sysinfo::SplitFields;
using sysinfo::TrimBlanks;

namespace {

std::string Env(const TSysSource& source, const std::string& name) {
    std::optional<std::string> value = source.GetEnv(name);
    return value ? *value : "";
}

std::vector<std::string> SplitList(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find(separator, at);
        if (end == std::string::npos) end = text.size();
        if (end > at) parts.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Splits a desktop entry's Exec value into its arguments ("…" quoting with
// \ escapes).
std::vector<std::string> SplitExec(std::string_view exec) {
    std::vector<std::string> args;
    std::string current;
    bool inArg = false, quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size()) current += exec[++i];
            else if (c == '"') quoted = false;
            else current += c;
        } else if (c == '"') {
            quoted = inArg = true;
        } else if (c == ' ' || c == '\t') {
            if (inArg) args.push_back(current);
            current.clear();
            inArg = false;
        } else {
            current += c;
            inArg = true;
        }
    }
    if (inArg) args.push_back(current);
    return args;
}

// A program name without '/' looked up along PATH (inside the source).
std::string FindOnPath(const std::string& program, const TSysSource& source) {
    if (program.empty() || program.find('/') != std::string::npos) return program;
    std::string path = Env(source, "PATH");
    if (path.empty()) path = "/usr/local/bin:/usr/bin:/bin";
    for (const std::string& dir : SplitList(path, ':')) {
        const std::string candidate = WithoutTrailingSlash(dir) + "/" + program;
        if (source.Exists(candidate) && !source.IsDirectory(candidate)) return candidate;
    }
    return program;
}

std::string DecodeMountField(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(sysinfo::ParseNumber<int>(digits, 8).value_or(0) & 0xFF);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// The mount holding `path`: the longest mount point that starts it; the
// last one mounted wins among equals.
std::optional<TMountEntry> MountOf(const std::vector<TMountEntry>& mounts, const std::string& path) {
    std::optional<TMountEntry> best;
    for (const TMountEntry& entry : mounts) {
        const std::string& mp = entry.MountPoint;
        const bool contains = path == mp || mp == "/" ||
                              (path.size() > mp.size() && path.compare(0, mp.size(), mp) == 0 && path[mp.size()] == '/');
        if (contains && (!best || mp.size() >= best->MountPoint.size())) best = entry;
    }
    return best;
}

// "\x20" escapes of /dev/disk/by-label names.
std::string DecodeHexEscapes(const std::string& name) {
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) && std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out += static_cast<char>(sysinfo::ParseNumber<int>(std::string_view(name).substr(i + 2, 2), 16).value_or(0));
            i += 3;
            continue;
        }
        out += name[i];
    }
    return out;
}

bool IsOneOf(const std::string& value, std::initializer_list<const char*> list) {
    for (const char* item : list)
        if (value == item) return true;
    return false;
}

TMediaType MediaTypeOf(const TMountEntry& mount, const TSysSource& source) {
    const std::string& type = mount.Type;
    if (IsOneOf(type, {"tmpfs", "ramfs"})) return dtRAMDisk;
    if (IsOneOf(type, {"nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs", "fuse.sshfs", "9p"})) return dtRemote;
    if (IsOneOf(type, {"iso9660", "udf"})) return dtCDROM;
    if (mount.Device.rfind("/dev/", 0) != 0) return dtUnknown;
    // The device's disk: the partition's parent in the block tree.
    std::optional<std::string> dev = source.Resolve(mount.Device);
    const std::string name = std::filesystem::path(dev ? *dev : mount.Device).filename().string();
    std::optional<std::string> node = source.Resolve("/sys/class/block/" + name);
    std::string disk = name;
    if (node && source.Exists(*node + "/partition"))
        disk = std::filesystem::path(*node).parent_path().filename().string();
    if (source.ReadLine("/sys/block/" + disk + "/removable") == "1") return dtRemovable;
    return dtFixed;
}

std::string FindVolumeLabel(const std::string& device, const TSysSource& source) {
    std::optional<std::string> target = source.Resolve(device);
    if (!target) return "";
    for (const std::string& name : source.ListDir("/dev/disk/by-label")) {
        std::optional<std::string> labelled = source.Resolve("/dev/disk/by-label/" + name);
        if (labelled && *labelled == *target) return DecodeHexEscapes(name);
    }
    return "";
}

TFileFlags FileFlagsOf(const std::string& type, std::uint64_t nameMax) {
    TFileFlags flags = 0;
    if (IsOneOf(type, {"ext2", "ext3", "ext4", "xfs", "btrfs"})) {
        flags |= FileFlagBit(fsCaseIsPreserved) | FileFlagBit(fsCaseSensitive) | FileFlagBit(fsPersistentAcls) |
                 FileFlagBit(fsReparsePointsSupport) | FileFlagBit(fsSparseFilesSupport);
        if (type == "btrfs") flags |= FileFlagBit(fsFileCompression);
    }
    if (nameMax >= 255) flags |= FileFlagBit(fsLongFileNames);
    return flags;
}

// Where the MIME defaults are looked up, most important first.
std::vector<std::string> MimeListFiles(const TXdgFolders& xdg) {
    std::vector<std::string> files;
    if (!xdg.ConfigHome.empty()) files.push_back(xdg.ConfigHome + "/mimeapps.list");
    for (const std::string& dir : xdg.ConfigDirs) files.push_back(dir + "/mimeapps.list");
    if (!xdg.DataHome.empty()) files.push_back(xdg.DataHome + "/applications/mimeapps.list");
    for (const std::string& dir : xdg.DataDirs) files.push_back(dir + "/applications/mimeapps.list");
    for (const std::string& dir : xdg.DataDirs) files.push_back(dir + "/applications/defaults.list");
    return files;
}

// The program of the default handler of a MIME type; "" when none.
std::string DefaultHandlerProgram(const std::string& mimeType, const TSysSource& source) {
    const TXdgFolders xdg = ReadXdgFolders(source);
    std::vector<std::string> appDirs;
    if (!xdg.DataHome.empty()) appDirs.push_back(xdg.DataHome + "/applications");
    for (const std::string& dir : xdg.DataDirs) appDirs.push_back(dir + "/applications");
    for (const std::string& file : MimeListFiles(xdg)) {
        std::optional<std::string> text = source.ReadText(file);
        if (!text) continue;
        const sysinfo::TIniSections sections = ParseIniText(*text);
        auto section = sections.find("Default Applications");
        if (section == sections.end()) continue;
        auto entry = section->second.find(mimeType);
        if (entry == section->second.end()) continue;
        for (const std::string& desktopId : SplitList(entry->second, ';')) {
            for (const std::string& dir : appDirs) {
                const std::string path = dir + "/" + desktopId;
                if (!source.Exists(path)) continue;
                std::string target, arguments;
                if (ResolveShellLink(path, target, arguments, source) != kLinkOk) continue;
                return ExtractProgramPath(FindOnPath(target, source),
                                          [&](const std::string& p) { return source.Exists(p); });
            }
        }
    }
    return "";
}

}  // namespace

std::vector<TMountEntry> ReadMounts(const TSysSource& source) {
    std::vector<TMountEntry> entries;
    std::optional<std::string> text = source.ReadText("/proc/self/mounts");
    if (!text) return entries;
    for (const std::string& line : SplitLines(*text)) {
        const std::vector<std::string> fields = SplitFields(line);
        if (fields.size() < 3) continue;
        entries.push_back({DecodeMountField(fields[0]), DecodeMountField(fields[1]), fields[2]});
    }
    return entries;
}

TXdgFolders ReadXdgFolders(const TSysSource& source) {
    TXdgFolders xdg;
    xdg.Home = WithoutTrailingSlash(Env(source, "HOME"));
    auto base = [&](const char* name, const char* fallback) {
        std::string value = Env(source, name);
        if (!value.empty() && value.front() == '/') return WithoutTrailingSlash(value);
        return xdg.Home.empty() ? std::string() : xdg.Home + fallback;
    };
    xdg.ConfigHome = base("XDG_CONFIG_HOME", "/.config");
    xdg.DataHome = base("XDG_DATA_HOME", "/.local/share");
    xdg.CacheHome = base("XDG_CACHE_HOME", "/.cache");
    auto dirs = [&](const char* name, const char* fallback) {
        std::vector<std::string> list;
        for (const std::string& dir : SplitList(Env(source, name), ':'))
            if (dir.front() == '/') list.push_back(WithoutTrailingSlash(dir));
        if (list.empty()) list = SplitList(fallback, ':');
        return list;
    };
    xdg.ConfigDirs = dirs("XDG_CONFIG_DIRS", "/etc/xdg");
    xdg.DataDirs = dirs("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    if (xdg.Home.empty()) return xdg;
    std::map<std::string, std::string> userDirs;
    if (std::optional<std::string> text = source.ReadText(xdg.ConfigHome + "/user-dirs.dirs"))
        userDirs = ParseShellAssignments(*text);
    auto userDir = [&](const char* name, const char* fallback) {
        auto it = userDirs.find(name);
        std::string value = it == userDirs.end() ? std::string() : it->second;
        if (value.rfind("$HOME", 0) == 0) value = xdg.Home + value.substr(5);
        if (value.empty() || value.front() != '/') return xdg.Home + fallback;
        return WithoutTrailingSlash(value);
    };
    xdg.Desktop = userDir("XDG_DESKTOP_DIR", "/Desktop");
    xdg.Documents = userDir("XDG_DOCUMENTS_DIR", "/Documents");
    xdg.Templates = userDir("XDG_TEMPLATES_DIR", "/Templates");
    return xdg;
}

TSystemUnit ReadSystemUnit(const TSysSource& source) {
    TSystemUnit unit;
    unit.OSOrdinal = GetOSOrdinal();
    unit.CurrentUserName = GetCurrentUser(source);
    unit.MachineName = UpperAscii(GetMachineName(source));
    unit.ProfilePath = GetProfilePath(source);
    std::optional<std::string> release = source.ReadText("/etc/os-release");
    if (!release) release = source.ReadText("/usr/lib/os-release");
    if (release) {
        const auto values = ParseShellAssignments(*release);
        if (auto it = values.find("PRETTY_NAME"); it != values.end()) unit.OSName = it->second;
    }
    if (unit.OSName.empty()) unit.OSName = source.ReadLine("/proc/sys/kernel/ostype");
    return unit;
}

const TSystemUnit& SystemUnit() {
    static const TSystemUnit unit = ReadSystemUnit(TSysSource::Machine());
    return unit;
}

std::string Dequote(std::string_view text) {
    if (text.size() > 1 && text.front() == '"' && text.back() == '"') return std::string(text.substr(1, text.size() - 2));
    return std::string(text);
}

std::uint8_t GetOSOrdinal() { return 0; }

std::string FormatDuration(bool integerSeconds, bool allUnits, bool clockForm, std::int64_t seconds) {
    static constexpr double kUnits[7] = {3157920000.0, 31579200.0, 2678400.0, 604800.0, 86400.0, 3600.0, 60.0};
    static constexpr const char* kSingular[7] = {" Century, ", " Year, ", " Month, ", " Week, ",
                                                 " Day, ",     " Hour, ", " Minute, "};
    static constexpr const char* kPlural[7] = {" Centuries, ", " Years, ", " Months, ", " Weeks, ",
                                               " Days, ",      " Hours, ", " Minutes, "};
    double s = static_cast<double>(seconds);
    std::uint16_t counts[7];
    for (int i = 0; i < 7; ++i) {
        // Each count is cut to 16 bits; the remainder is rounded.
        const double whole = std::trunc(s / kUnits[i]);
        const double clamped = std::fmax(std::fmin(whole, 9.0e18), -9.0e18);
        counts[i] = static_cast<std::uint16_t>(static_cast<std::int64_t>(clamped));
        s = std::nearbyint(s - counts[i] * kUnits[i]);
    }
    if (integerSeconds) s = std::trunc(s);
    const int roundSeconds = static_cast<int>(std::fmax(std::fmin(std::nearbyint(s), 2.0e9), -2.0e9));
    char buffer[64];
    if (allUnits && clockForm) {
        std::snprintf(buffer, sizeof buffer, "%2.2d.%2.2d.%2.2d %2.2d:%2.2d:%2.2d", counts[1], counts[2],
                      counts[4] + 7 * counts[3], counts[5], counts[6], roundSeconds);
        return buffer;
    }
    if (clockForm) {
        std::snprintf(buffer, sizeof buffer, "%2.2d:%2.2d:%2.2d", counts[5], counts[6], roundSeconds);
        return buffer;
    }
    int first = 0;
    if (!allUnits)
        while (first < 7 && counts[first] == 0) ++first;
    std::string text;
    for (int i = first; i < 7; ++i) text += std::to_string(counts[i]) + (counts[i] == 1 ? kSingular[i] : kPlural[i]);
    std::snprintf(buffer, sizeof buffer, integerSeconds ? "%.0f" : "%.2f", s);
    text += buffer;
    text += s == 1.0 ? " Second." : " Seconds.";
    return text;
}

bool GetFileVerInfo(const std::string& fileName, TVersionInfo& info) {
    info.FileName = fileName;
    return false;
}

std::string GetMachineName(const TSysSource& source) { return source.ReadLine("/proc/sys/kernel/hostname"); }

std::string GetCurrentUser(const TSysSource& source) { return source.UserName ? source.UserName() : ""; }

void GetClassDevices(const std::string&, const std::string&, const std::string&, std::string& key,
                     std::vector<std::string>& list) {
    key.clear();
    list.clear();
}

void GetEnvironmentList(std::vector<std::string>& list, const TSysSource& source) {
    list.clear();
    std::string block;
    for (const std::string& entry : source.Environment()) {
        block += entry;
        block += '\0';
        if (block.size() > 4096) break;
    }
    block += '\0';
    // The first 4096 bytes: entries up to the empty one; one cut at the
    // limit is left out.
    const std::string_view read(block.data(), std::min<std::size_t>(block.size(), 4096));
    for (std::size_t at = 0; at < read.size();) {
        const std::size_t end = read.find('\0', at);
        if (end == std::string_view::npos || end == at) break;
        list.emplace_back(read.substr(at, end - at));
        at = end + 1;
    }
}

std::string GetWinSysDirs() { return GetWindowsDir() + ";" + GetSystemDir() + ";"; }

std::string MultiSzToText(std::string_view buffer) {
    std::string text;
    std::size_t at = 0;
    while (at < buffer.size()) {
        std::size_t end = buffer.find('\0', at);
        if (end == std::string_view::npos) end = buffer.size();
        if (end == at) break;
        text.append(buffer.substr(at, end - at));
        at = end + 1;
    }
    return text;
}

std::uint32_t ResolveShellLink(const std::string& file, std::string& target, std::string& arguments,
                               const TSysSource& source) {
    std::optional<std::string> text = source.ReadText(file, 256 * 1024);
    if (!text) return kLinkFileNotFound;
    const sysinfo::TIniSections sections = ParseIniText(*text);
    auto entry = sections.find("Desktop Entry");
    if (entry == sections.end()) return kLinkFailed;
    auto exec = entry->second.find("Exec");
    if (exec == entry->second.end()) return kLinkFailed;
    const std::vector<std::string> args = SplitExec(exec->second);
    if (args.empty()) return kLinkFailed;
    target = args[0];
    arguments.clear();
    for (std::size_t i = 1; i < args.size(); ++i) {
        std::string arg;
        const std::string& raw = args[i];
        for (std::size_t k = 0; k < raw.size(); ++k) {
            if (raw[k] == '%' && k + 1 < raw.size()) {
                if (raw[k + 1] == '%') arg += '%';
                ++k;  // field codes (%f %u %F %U %i %c %k …) are dropped
                continue;
            }
            arg += raw[k];
        }
        if (arg.empty()) continue;
        if (!arguments.empty()) arguments += ' ';
        arguments += arg;
    }
    return kLinkOk;
}

std::string GetSpecialFolder(int csidl, const TSysSource& source) {
    return GetSpecialFolder(csidl, ReadXdgFolders(source));
}

std::string GetSpecialFolder(int csidl, const TXdgFolders& xdg) {
    auto under = [](const std::string& base, const char* sub) { return base.empty() ? base : base + sub; };
    switch (csidl) {
        case CSIDL_DESKTOP:
        case CSIDL_DESKTOPDIRECTORY:
            return xdg.Desktop;
        case CSIDL_PERSONAL:
            return xdg.Documents;
        case CSIDL_TEMPLATES:
            return xdg.Templates;
        case CSIDL_APPDATA:
            return xdg.ConfigHome;
        case CSIDL_BITBUCKET:
            return under(xdg.DataHome, "/Trash");
        case CSIDL_COMMON_PROGRAMS:
        case CSIDL_COMMON_STARTMENU:
            return "/usr/share/applications";
        case CSIDL_COMMON_STARTUP:
            return xdg.ConfigDirs.front() + "/autostart";
        case CSIDL_FONTS:
            return under(xdg.DataHome, "/fonts");
        case CSIDL_INTERNET_CACHE:
            return xdg.CacheHome;
        case CSIDL_PROGRAMS:
        case CSIDL_STARTMENU:
            return under(xdg.DataHome, "/applications");
        case CSIDL_STARTUP:
            return under(xdg.ConfigHome, "/autostart");
        default:
            return "";
    }
}

bool IsDriveReady(const TDiskSign& drive, const TSysSource& source) {
    return !drive.empty() && source.StatFs(drive).has_value();
}

void GetDiskInfo(const TDiskSign& drive, TDiskInfo& info, const TSysSource& source) {
    info = TDiskInfo{};
    info.Drive = drive;
    std::optional<TMountEntry> mount;
    if (drive.empty() || drive.front() != '/' || !source.Exists(drive)) {
        info.MediaType = dtNotExists;
    } else {
        mount = MountOf(ReadMounts(source), WithoutTrailingSlash(drive));
        info.MediaType = mount ? MediaTypeOf(*mount, source) : dtUnknown;
    }
    if (!IsDriveReady(drive, source)) return;
    const sysinfo::TFsStats stats = *source.StatFs(drive);
    auto cut32 = [](std::uint64_t v) { return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, UINT32_MAX)); };
    info.SectorsPerCluster = 1;
    info.BytesPerSector = cut32(stats.BlockSize);
    info.TotalClusters = cut32(stats.Blocks);
    info.FreeClusters = cut32(stats.Available);
    auto bytes = [](std::uint64_t blocks, std::uint64_t size) {
        if (size != 0 && blocks > static_cast<std::uint64_t>(INT64_MAX) / size) return std::int64_t{INT64_MAX};
        return static_cast<std::int64_t>(blocks * size);
    };
    info.Capacity = bytes(stats.Blocks, stats.BlockSize);
    info.FreeSpace = bytes(stats.Available, stats.BlockSize);
    if (!mount) return;
    info.FileSystem = mount->Type;
    info.Serial = static_cast<std::uint32_t>(stats.FsId);
    char serial[16];
    std::snprintf(serial, sizeof serial, "%04X-%04X", info.Serial >> 16, info.Serial & 0xFFFF);
    info.SerialNumber = serial;
    info.VolumeLabel = FindVolumeLabel(mount->Device, source);
    info.FileFlags = FileFlagsOf(mount->Type, stats.NameMax);
}

std::string GetWindowsDir() { return ""; }
std::string GetSystemDir() { return ""; }

std::string GetProfilePath(const TSysSource& source) {
    std::string desktop = GetSpecialFolder(CSIDL_DESKTOP, source);
    const std::size_t slash = desktop.rfind('/');
    if (slash != std::string::npos) desktop.resize(slash);
    if (desktop.size() > 255) desktop = desktop.substr(desktop.size() - 255);
    return desktop;
}

std::string StripBlanks(std::string_view text) {
    const std::string trimmed = TrimBlanks(text);
    std::string out;
    for (std::size_t i = 0; i < trimmed.size(); ++i) {
        if (trimmed[i] == ' ') continue;
        if (trimmed[i] == '\r' && i + 1 < trimmed.size() && trimmed[i + 1] == '\n') {
            ++i;
            continue;
        }
        out += trimmed[i];
    }
    return out;
}

std::string ExtractProgramPath(std::string_view command, const std::function<bool(const std::string&)>& exists) {
    std::string s(command);
    while (!s.empty() && !exists(s)) {
        s.pop_back();
        s = Dequote(s);
    }
    return s;
}

std::string ExtractProgramPath(std::string_view command) {
    return ExtractProgramPath(command, [](const std::string& path) {
        std::error_code ec;
        return std::filesystem::is_regular_file(path, ec);
    });
}

std::string GetDefaultMailClient(const TSysSource& source) {
    return DefaultHandlerProgram("x-scheme-handler/mailto", source);
}

std::string GetDefaultBrowser(const TSysSource& source) {
    for (const std::string& browser : SplitList(Env(source, "BROWSER"), ':')) {
        const std::vector<std::string> args = SplitExec(browser);
        if (args.empty()) continue;
        std::string found = ExtractProgramPath(FindOnPath(args[0], source),
                                               [&](const std::string& p) { return source.Exists(p); });
        if (!found.empty()) return found;
    }
    return DefaultHandlerProgram("x-scheme-handler/http", source);
}

int GetRASConnectionCount(const TSysSource& source) {
    int count = 0;
    for (const sysinfo::TNetInterface& itf : source.Interfaces())
        if (itf.Up && itf.Name.rfind("ppp", 0) == 0) ++count;
    return count;
}

TConnectionType GetConnectionType(const TSysSource& source) {
    if (!GetProxyServer(source).empty()) return ctLAN;
    return GetRASConnectionCount(source) > 0 ? ctDialup : ctNone;
}

std::string GetProxyServer(const TSysSource& source) {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy"}) {
        const std::string value = TrimBlanks(Env(source, name));
        if (!value.empty()) return value;
    }
    return "";
}

}  // namespace qv
