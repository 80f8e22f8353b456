#include "sysinfo/MSI_OS.h"

#include <cctype>
#include <map>

namespace qv {

namespace {

std::string Env(const TSysSource& source, const std::string& name) {
    std::optional<std::string> value = source.GetEnv(name);
    return value ? *value : "";
}

std::map<std::string, std::string> OsRelease(const TSysSource& source) {
    std::optional<std::string> text = source.ReadText("/etc/os-release");
    if (!text) text = source.ReadText("/usr/lib/os-release");
    return text ? sysinfo::ParseShellAssignments(*text) : std::map<std::string, std::string>{};
}

// Reads the digits at `at` as a number; -1 when there are none or too many.
int ReadNumber(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
    const std::optional<int> value = sysinfo::ParseNumber<int>(text.substr(start, at - start));
    return value && *value <= 999'999'999 ? *value : -1;
}

// A zone name of a POSIX rule: letters, or anything quoted in <>.
bool ReadZoneName(std::string_view rule, std::size_t& at, std::string& name) {
    name.clear();
    if (at < rule.size() && rule[at] == '<') {
        const std::size_t close = rule.find('>', at);
        if (close == std::string_view::npos) return false;
        name = std::string(rule.substr(at + 1, close - at - 1));
        at = close + 1;
    } else {
        while (at < rule.size() && std::isalpha(static_cast<unsigned char>(rule[at]))) name += rule[at++];
    }
    return name.size() >= 3;
}

// [+-]hh[:mm[:ss]] in minutes.
bool ReadOffset(std::string_view rule, std::size_t& at, std::int32_t& minutes) {
    int sign = 1;
    if (at < rule.size() && (rule[at] == '+' || rule[at] == '-')) sign = rule[at++] == '-' ? -1 : 1;
    const int hours = ReadNumber(rule, at);
    if (hours < 0 || hours > 167) return false;
    int mins = 0;
    if (at < rule.size() && rule[at] == ':') {
        ++at;
        mins = ReadNumber(rule, at);
        if (mins < 0 || mins > 59) return false;
        if (at < rule.size() && rule[at] == ':') {
            ++at;
            if (ReadNumber(rule, at) < 0) return false;
        }
    }
    minutes = sign * (hours * 60 + mins);
    return true;
}

}  // namespace

TKernelVersion ParseKernelRelease(std::string_view release) {
    TKernelVersion version;
    std::size_t at = 0;
    std::int32_t* fields[3] = {&version.Major, &version.Minor, &version.Build};
    for (int i = 0; i < 3; ++i) {
        const int value = ReadNumber(release, at);
        if (value < 0) break;
        *fields[i] = value;
        if (at >= release.size() || release[at] != '.') break;
        ++at;
    }
    version.Build &= 0xFFFF;
    return version;
}

bool ParsePosixZone(std::string_view rule, TPosixZone& zone) {
    if (!rule.empty() && rule.front() == ':') return false;  // a file name, not a rule
    std::size_t at = 0;
    TPosixZone parsed;
    if (!ReadZoneName(rule, at, parsed.StandardName)) return false;
    if (!ReadOffset(rule, at, parsed.BiasMinutes)) return false;
    if (at < rule.size() && rule[at] != ',') {
        if (!ReadZoneName(rule, at, parsed.DaylightName)) return false;
    }
    zone = parsed;
    return true;
}

std::string TzifFooter(std::string_view file) {
    if (file.size() < 6 || file.substr(0, 4) != "TZif" || file[4] < '2') return "";
    if (file.back() != '\n') return "";
    const std::size_t start = file.rfind('\n', file.size() - 2);
    if (start == std::string_view::npos) return "";
    return std::string(file.substr(start + 1, file.size() - start - 2));
}

// The name of the zone file below /usr/share/zoneinfo that holds the same
// bytes as `data` (an /etc/localtime copied rather than linked); "" when
// none does. Links and the posix/ and right/ copies are passed over, so the
// zone's own name is found.
std::string MatchZoneFile(const TSysSource& source, const std::string& data, const std::string& folder = "",
                          int depth = 0) {
    const std::string base = "/usr/share/zoneinfo/";
    for (const std::string& entry : source.ListDir(base + folder)) {
        const std::string name = folder + entry;
        if (depth == 0 && (entry == "posix" || entry == "right")) continue;
        if (source.ReadLink(base + name)) continue;
        if (source.IsDirectory(base + name)) {
            if (depth < 2)
                if (std::string found = MatchZoneFile(source, data, name + "/", depth + 1); !found.empty())
                    return found;
            continue;
        }
        if (source.ReadText(base + name, data.size() + 1) == data) return name;
    }
    return "";
}

void TTimeZone::GetInfo(const TSysSource& source) {
    // The zone's name: TZ, else /etc/timezone, else where /etc/localtime
    // points, else the zone file a copied /etc/localtime matches.
    std::string tz = Env(source, "TZ");
    TPosixZone zone;
    zone.StandardName = "UTC";
    std::string name;
    if (tz.empty() || !ParsePosixZone(tz, zone)) {
        name = tz.empty() ? "" : (tz.front() == ':' ? tz.substr(1) : tz);
        if (name.empty()) name = source.ReadLine("/etc/timezone");
        if (name.empty()) {
            if (std::optional<std::string> target = source.ReadLink("/etc/localtime")) {
                const std::string marker = "zoneinfo/";
                const std::size_t at = target->find(marker);
                if (at != std::string::npos) name = target->substr(at + marker.size());
            } else if (std::optional<std::string> copy = source.ReadText("/etc/localtime", 1 << 20);
                       copy && copy->rfind("TZif", 0) == 0) {
                name = MatchZoneFile(source, *copy);
                if (name.empty()) ParsePosixZone(TzifFooter(*copy), zone);  // the rule, without a name
            }
        }
    }
    if (!name.empty() && name.find("..") == std::string::npos) {
        DisplayName = name;
        const std::string file = name.front() == '/' ? name : "/usr/share/zoneinfo/" + name;
        if (std::optional<std::string> data = source.ReadText(file, 1 << 20))
            ParsePosixZone(TzifFooter(*data), zone);
    }
    Bias = zone.BiasMinutes;
    StandardName = zone.StandardName;
    DaylightName = zone.DaylightName;
}

void TNTSpecific::GetInfo(const TSysSource&) {}

void TInternet::GetInfo(const TSysSource& source) {
    DefaultBrowser = GetDefaultBrowser(source);
    DefaultMailClient = GetDefaultMailClient(source);
    ConnectionType = GetConnectionType(source);
    ProxyServer = GetProxyServer(source);
}

void TOperatingSystem::GetInfo() {
    const TSysSource& source = Source();
    Folders.clear();
    CallGetInfoGuarded("TTimeZone.GetInfo", ExceptionMode, [&] { TimeZone.GetInfo(source); });
    CallGetInfoGuarded("TNTSpecific.GetInfo", ExceptionMode, [&] { NTSpecific.GetInfo(source); });
    CallGetInfoGuarded("TInternet.GetInfo", ExceptionMode, [&] { Internet.GetInfo(source); });

    const TKernelVersion kernel = ParseKernelRelease(source.ReadLine("/proc/sys/kernel/osrelease"));
    MajorVersion = kernel.Major;
    MinorVersion = kernel.Minor;
    BuildNumber = kernel.Build;
    const std::string platform = source.ReadLine("/proc/sys/kernel/ostype");
    if (!platform.empty()) Platform = platform;
    const auto release = OsRelease(source);
    auto value = [&](const char* key) {
        auto it = release.find(key);
        return it == release.end() ? std::string() : it->second;
    };
    CSD = source.ReadLine("/etc/debian_version");
    if (CSD.empty()) CSD = value("VERSION_ID");

    Version = source.ReadLine("/proc/sys/kernel/version");
    RegisteredUser.clear();
    RegisteredOrg.clear();
    Folders.push_back("CommonFiles=/usr/share");
    Folders.push_back("ProgramFiles=/usr");
    Folders.push_back("Device=");
    Folders.push_back("OtherDevice=");
    Folders.push_back("Media=/usr/share/sounds");
    Folders.push_back("Config=/etc");
    Folders.push_back("Wallpaper=");
    Edition = value("VERSION_CODENAME");

    Folders.push_back("Windows=" + GetWindowsDir());
    Folders.push_back("System=" + GetSystemDir());
    std::string temp = Env(source, "TMPDIR");
    if (temp.empty()) temp = "/tmp";
    if (temp.back() != '/') temp += '/';
    Folders.push_back("Temp=" + temp);

    static constexpr std::pair<const char*, int> kSpecial[29] = {
        {"AppData", 26},    {"CommonDesktopDir", 25}, {"CommonAltStartUp", 30}, {"RecycleBin", 10},
        {"CommonPrograms", 23}, {"CommonStartMenu", 22}, {"CommonStartup", 24}, {"CommonFavorites", 31},
        {"Cookies", 33},    {"Controls", 3},          {"Desktop", 0},           {"DesktopDir", 16},
        {"Favorites", 6},   {"Drives", 17},           {"Fonts", 20},            {"History", 34},
        {"Internet", 1},    {"InternetCache", 32},    {"NetWork", 18},          {"NetHood", 19},
        {"MyDocuments", 5}, {"PrintHood", 27},        {"Printers", 4},          {"Programs", 2},
        {"Recent", 8},      {"SendTo", 9},            {"StartMenu", 11},        {"StartUp", 7},
        {"Templates", 21}};
    std::string desktop;
    const TXdgFolders xdg = ReadXdgFolders(source);
    for (const auto& [name, csidl] : kSpecial) {
        const std::string path = GetSpecialFolder(csidl, xdg);
        if (csidl == CSIDL_DESKTOP) desktop = path;
        Folders.push_back(std::string(name) + "=" + path);
    }
    const std::size_t slash = desktop.rfind('/');
    std::string profile = slash == std::string::npos ? desktop : desktop.substr(0, slash);
    if (profile.size() > 255) profile = profile.substr(profile.size() - 255);
    Folders.push_back("Profile=" + profile);

    GetEnvironmentList(Environment, source);
}

}  // namespace qv
