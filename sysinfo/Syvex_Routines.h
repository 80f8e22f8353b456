// The toolbox of the system information inventory: durations as text, the
// operating system's name, user and machine names, the environment block,
// XDG folders and desktop entries, disks and mount points, the default
// browser and mail client, and how the machine reaches the internet.
//
// Every routine that reads the machine takes the source to read it from;
// the default is the running machine.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sysinfo/SysSource.h"

namespace qv {

using sysinfo::TSysSource;

enum class TConnectionType : std::uint8_t { ctNone, ctLAN, ctDialup };
using enum TConnectionType;

// In the order of the drive types 0-6.
enum class TMediaType : std::uint8_t { dtUnknown, dtNotExists, dtRemovable, dtFixed, dtRemote, dtCDROM, dtRAMDisk };
using enum TMediaType;

enum TFileFlag : std::uint8_t {
    fsCaseIsPreserved,
    fsCaseSensitive,
    fsUnicodeStoredOnDisk,
    fsPersistentAcls,
    fsFileCompression,
    fsVolumeIsCompressed,
    fsLongFileNames,
    fsEncryptedFileSystemSupport,
    fsObjectIDsSupport,
    fsReparsePointsSupport,
    fsSparseFilesSupport,
    fsDiskQuotasSupport,
};
// A set of TFileFlag: bit (1 << flag).
using TFileFlags = std::uint16_t;
constexpr TFileFlags FileFlagBit(TFileFlag flag) { return static_cast<TFileFlags>(1u << flag); }

// A disk is named by its mount point ("/", "/home"); drive letters have no
// meaning here.
using TDiskSign = std::string;

struct TVersionInfo {
    std::string FileName;
    std::string Version;
    std::string Description;
    std::string LegalNotice;
    std::int32_t Major = 0, Minor = 0, Release = 0, Build = 0;
};

struct TDiskInfo {
    TDiskSign Drive;
    TMediaType MediaType = dtUnknown;
    TFileFlags FileFlags = 0;
    std::uint32_t SectorsPerCluster = 0;
    std::uint32_t BytesPerSector = 0;
    std::uint32_t FreeClusters = 0;
    std::uint32_t TotalClusters = 0;
    std::uint32_t Serial = 0;
    std::int64_t Capacity = 0;
    std::int64_t FreeSpace = 0;
    std::string VolumeLabel;
    std::string SerialNumber;  // "XXXX-XXXX"
    std::string FileSystem;
};

// Facts classified once per source. There is no Windows version here, so
// the ordinal is 0 and every Is* flag false; OSName names the distribution.
struct TSystemUnit {
    std::uint8_t OSOrdinal = 0;
    bool IsNT = false, IsWin95 = false, IsWin95OSR2 = false, IsWin98 = false, IsWin98SE = false,
         IsWinME = false, IsWin2000 = false, IsWinXP = false;
    std::string CurrentUserName;
    std::string MachineName;  // upper case
    std::string ProfilePath;
    std::string OSName;
    std::string ClassKey;  // no device class registry: empty
};
TSystemUnit ReadSystemUnit(const TSysSource& source);
// The running machine's facts, read on first use.
const TSystemUnit& SystemUnit();

// The folder identifiers GetSpecialFolder knows.
enum : int {
    CSIDL_DESKTOP = 0x00,
    CSIDL_INTERNET = 0x01,
    CSIDL_PROGRAMS = 0x02,
    CSIDL_CONTROLS = 0x03,
    CSIDL_PRINTERS = 0x04,
    CSIDL_PERSONAL = 0x05,
    CSIDL_FAVORITES = 0x06,
    CSIDL_STARTUP = 0x07,
    CSIDL_RECENT = 0x08,
    CSIDL_SENDTO = 0x09,
    CSIDL_BITBUCKET = 0x0A,
    CSIDL_STARTMENU = 0x0B,
    CSIDL_DESKTOPDIRECTORY = 0x10,
    CSIDL_DRIVES = 0x11,
    CSIDL_NETWORK = 0x12,
    CSIDL_NETHOOD = 0x13,
    CSIDL_FONTS = 0x14,
    CSIDL_TEMPLATES = 0x15,
    CSIDL_COMMON_STARTMENU = 0x16,
    CSIDL_COMMON_PROGRAMS = 0x17,
    CSIDL_COMMON_STARTUP = 0x18,
    CSIDL_COMMON_DESKTOPDIRECTORY = 0x19,
    CSIDL_APPDATA = 0x1A,
    CSIDL_PRINTHOOD = 0x1B,
    CSIDL_ALTSTARTUP = 0x1D,
    CSIDL_COMMON_ALTSTARTUP = 0x1E,
    CSIDL_COMMON_FAVORITES = 0x1F,
    CSIDL_INTERNET_CACHE = 0x20,
    CSIDL_COOKIES = 0x21,
    CSIDL_HISTORY = 0x22,
};

// Result codes of ResolveShellLink.
inline constexpr std::uint32_t kLinkOk = 0;
inline constexpr std::uint32_t kLinkFileNotFound = 0x80030002;
inline constexpr std::uint32_t kLinkFailed = 0x80004005;

// `text` without one pair of enclosing double quotes (only when it is
// longer than one character and starts and ends with one).
std::string Dequote(std::string_view text);
// The Windows version ordinal; always 0 ("unknown") here.
std::uint8_t GetOSOrdinal();
// A duration as words ("1 Hour, 2 Minutes, 5 Seconds.") or as a clock.
std::string FormatDuration(bool integerSeconds, bool allUnits, bool clockForm, std::int64_t seconds);
// Programs here carry no version resource: sets info.FileName, returns false.
bool GetFileVerInfo(const std::string& fileName, TVersionInfo& info);
std::string GetMachineName(const TSysSource& source = TSysSource::Machine());
std::string GetCurrentUser(const TSysSource& source = TSysSource::Machine());
// No device class registry: `key` and `list` come back empty.
void GetClassDevices(const std::string& classRoot, const std::string& className, const std::string& valueName,
                     std::string& key, std::vector<std::string>& list);
// The environment block's entries that end within its first 4096 bytes.
void GetEnvironmentList(std::vector<std::string>& list, const TSysSource& source = TSysSource::Machine());
// Windows and system folders do not exist: ";;".
std::string GetWinSysDirs();
// The zero-terminated strings of `buffer` up to the first empty one, joined.
std::string MultiSzToText(std::string_view buffer);
// Target and arguments of a desktop entry's Exec line.
std::uint32_t ResolveShellLink(const std::string& file, std::string& target, std::string& arguments,
                               const TSysSource& source = TSysSource::Machine());
// The XDG folder standing for a CSIDL, without a trailing '/'; "" for
// folders with no counterpart.
std::string GetSpecialFolder(int csidl, const TSysSource& source = TSysSource::Machine());
struct TXdgFolders;
// The same from folders already read, for a caller asking for many.
std::string GetSpecialFolder(int csidl, const TXdgFolders& xdg);
// One entry of the mount table: device, mount point, file system type
// (octal escapes such as "\040" decoded).
struct TMountEntry {
    std::string Device, MountPoint, Type;
};
// /proc/self/mounts in its order; empty when it cannot be read.
std::vector<TMountEntry> ReadMounts(const TSysSource& source = TSysSource::Machine());
bool IsDriveReady(const TDiskSign& drive, const TSysSource& source = TSysSource::Machine());
void GetDiskInfo(const TDiskSign& drive, TDiskInfo& info, const TSysSource& source = TSysSource::Machine());
// No Windows or system folder: "".
std::string GetWindowsDir();
std::string GetSystemDir();
// The desktop folder without its last element, at most its last 255 characters.
std::string GetProfilePath(const TSysSource& source = TSysSource::Machine());
// Trimmed, then without any blank or CR LF pair.
std::string StripBlanks(std::string_view text);
// The longest start of `command` (each cut also losing enclosing quotes)
// that names an existing file; "" when none does.
std::string ExtractProgramPath(std::string_view command,
                               const std::function<bool(const std::string&)>& exists);
std::string ExtractProgramPath(std::string_view command);
std::string GetDefaultMailClient(const TSysSource& source = TSysSource::Machine());
std::string GetDefaultBrowser(const TSysSource& source = TSysSource::Machine());
// Point-to-point interfaces ("ppp…") that are up.
int GetRASConnectionCount(const TSysSource& source = TSysSource::Machine());
TConnectionType GetConnectionType(const TSysSource& source = TSysSource::Machine());
std::string GetProxyServer(const TSysSource& source = TSysSource::Machine());

// The XDG base and user folders of a source's environment.
struct TXdgFolders {
    std::string Home;
    std::string ConfigHome, DataHome, CacheHome;
    std::vector<std::string> ConfigDirs, DataDirs;
    std::string Desktop, Documents, Templates;
};
TXdgFolders ReadXdgFolders(const TSysSource& source);

}  // namespace qv
