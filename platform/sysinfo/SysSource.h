// Where the system information inventory reads the machine from. Every file
// read (/proc, /sys, /etc, /var/lib/dpkg, /run/udev, /dev/disk, the user's
// configuration files) goes through one source whose root is "/" on the
// real machine and a fixture folder in tests. What is not a file (CPUID,
// the time stamp counter, the clocks, the environment, the user, file-system
// statistics, network interfaces) is a replaceable hook with the real call
// as its default.
#pragma once

#include <charconv>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/Clock.h"

namespace qv::sysinfo {

struct TCpuidRegs {
    std::uint32_t Eax = 0, Ebx = 0, Ecx = 0, Edx = 0;
};

// statvfs of one mount point.
struct TFsStats {
    std::uint64_t BlockSize = 0;  // f_frsize
    std::uint64_t Blocks = 0;     // f_blocks
    std::uint64_t Available = 0;  // f_bavail
    std::uint64_t FsId = 0;       // f_fsid
    std::uint64_t NameMax = 0;    // f_namemax
};

struct TNetInterface {
    std::string Name;
    bool Up = false;
    bool Loopback = false;
    // Its IPv4 addresses in dotted form, then its IPv6 addresses.
    std::vector<std::string> Addresses;
};

// One printer destination of the print system.
struct TPrinterDest {
    std::string Name;       // with "/instance" when it is an instance
    std::string DeviceUri;  // where it prints to; "" when unknown
    bool IsDefault = false;
};

// What the media layer and the graphics library say about themselves.
struct TGraphicsRuntime {
    std::string SdlVersion;                 // "2.26.5"; empty without SDL
    std::vector<std::string> RenderDrivers; // SDL's render driver names
    std::string GlVersion;                  // GL_VERSION, empty when no context could be made
    std::string GlRenderer;                 // GL_RENDERER
};

// One display mode: size and the bit depth the renderer layer gives its
// format (16 or 32 for the formats it can use).
struct TScreenMode {
    int Width = 0, Height = 0, BitsPerPixel = 0;
};

// The first display as the media layer sees it.
struct TScreenInfo {
    bool Valid = false;    // false when there is no display to ask
    TScreenMode Desktop;   // the desktop's mode
    float HorizontalDpi = 0, VerticalDpi = 0;  // 0 when unknown
    std::vector<TScreenMode> Modes;  // every mode, in the media layer's order
};

class TSysSource {
public:
    // The running machine: root "/", every hook the real call.
    TSysSource();
    // Files under `root` (a folder standing for "/"); hooks still real.
    explicit TSysSource(std::string root);

    // The shared source of the running machine.
    static const TSysSource& Machine();

    // The root with a trailing '/'.
    const std::string& Root() const { return root_; }
    // The real path of an absolute machine path ("/proc/meminfo").
    std::string PathOf(std::string_view machinePath) const;
    // The machine path of a real path below the root ("" when outside).
    std::string MachinePathOf(const std::string& realPath) const;

    // The whole file, or nothing. Reads at most `limit` bytes.
    std::optional<std::string> ReadText(std::string_view machinePath, std::size_t limit = 1 << 20) const;
    // The file's first line without surrounding blanks; "" when missing.
    std::string ReadLine(std::string_view machinePath) const;
    bool Exists(std::string_view machinePath) const;
    bool IsDirectory(std::string_view machinePath) const;
    // Names in a folder (not "." or ".."), sorted; empty when it cannot be read.
    std::vector<std::string> ListDir(std::string_view machinePath) const;
    // The target of a symbolic link as stored, or nothing.
    std::optional<std::string> ReadLink(std::string_view machinePath) const;
    // The machine path a path resolves to through every link, staying
    // inside the root; nothing when it does not exist.
    std::optional<std::string> Resolve(std::string_view machinePath) const;

    // Hooks. Each may be replaced; the defaults ask the running machine.
    std::function<std::optional<std::string>(const std::string& name)> GetEnv;
    // The environment block, one "NAME=value" per entry, in its order.
    std::function<std::vector<std::string>()> Environment;
    // The effective user's login name.
    std::function<std::string()> UserName;
    std::function<std::optional<TFsStats>(const std::string& machinePath)> StatFs;
    std::function<std::vector<TNetInterface>()> Interfaces;
    // The print system's destinations (CUPS on the running machine).
    std::function<std::vector<TPrinterDest>()> Printers;
    // Seconds since 1970 as a fractional number.
    std::function<double()> Now;
    std::function<std::int64_t()> PageSize;
    // Bytes of address space the process may use (RLIMIT_AS; 0 = no limit).
    std::function<std::uint64_t()> AddressSpaceLimit;
    std::function<TGraphicsRuntime()> GraphicsRuntime;
    std::function<TScreenInfo()> Screen;
    // CPUID(leaf, sub-leaf); all zero on processors without it.
    std::function<TCpuidRegs(std::uint32_t leaf, std::uint32_t subLeaf)> Cpuid;
    // The time stamp counter; 0 where there is none.
    std::function<std::uint64_t()> ReadTsc;
    // The counter the processor speed is measured against (not owned).
    sys::IClock* Clock = nullptr;

private:
    std::string root_;
};

// Lines "KEY=value" with shell-style quotes ('…', "…" with \ escapes), as
// in os-release and user-dirs.dirs. Comments and malformed lines are skipped.
std::map<std::string, std::string> ParseShellAssignments(std::string_view text);

// Lines "Key: value…" (/proc/meminfo, /proc/self/status): the first number
// of each value, times 1024 when it is followed by "kB". Missing or bad
// numbers are left out.
std::map<std::string, std::uint64_t> ParseColonNumbers(std::string_view text);

// Sections of an INI-like file ("[Section]", "Key=Value"), as in desktop
// entries and mimeapps.list. Keys keep the first value given in a section.
using TIniSections = std::map<std::string, std::map<std::string, std::string>>;
TIniSections ParseIniText(std::string_view text);

// The device properties of a udev database entry ("E:KEY=value" lines).
std::map<std::string, std::string> ParseUdevProperties(std::string_view text);

// One sound card of /proc/asound/cards.
struct TAlsaCard {
    int Index = -1;
    std::string Id;         // "PCH"
    std::string Driver;     // "HDA-Intel"
    std::string ShortName;  // "HDA Intel PCH"
    std::string LongName;   // "HDA Intel PCH at 0xf7f10000 irq 32"
};
// The cards listed in /proc/asound/cards, in their order.
std::vector<TAlsaCard> ParseAlsaCards(std::string_view text);

// One package paragraph of the dpkg status file.
struct TDpkgPackage {
    std::string Package;
    std::string Version;
    std::string Status;  // "install ok installed"
};
// The paragraphs of /var/lib/dpkg/status that name a package, in order.
// Continuation lines (starting with a blank) belong to the field above.
std::vector<TDpkgPackage> ParseDpkgStatus(std::string_view text);

// The number a whole text spells in `base` (digits only, a leading '-' for
// signed types), or nothing when the text is empty, holds anything else or
// does not fit the type. Every number the inventory reads from the machine
// goes through here.
template <typename T>
std::optional<T> ParseNumber(std::string_view text, int base = 10) {
    T value{};
    if (text.empty() || text.front() == '+') return std::nullopt;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}
// A fractional number in fixed or exponent form ("1234.56"), whole text.
std::optional<double> ParseDecimal(std::string_view text);

// The lines of a text, without their line breaks; a last line without one
// counts, an empty text has none.
//   for (TLines lines(text); auto line = lines.Next();) ...
class TLines {
public:
    explicit TLines(std::string_view text) : text_(text) {}
    std::optional<std::string_view> Next() {
        if (at_ >= text_.size()) return std::nullopt;
        std::size_t end = text_.find('\n', at_);
        if (end == std::string_view::npos) end = text_.size();
        const std::string_view line = text_.substr(at_, end - at_);
        at_ = end + 1;
        return line;
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

// Splits at blanks and tabs, dropping empty fields.
std::vector<std::string> SplitFields(std::string_view line);
// Without leading and trailing blanks, tabs and line breaks.
std::string TrimBlanks(std::string_view s);

}  // namespace qv::sysinfo
