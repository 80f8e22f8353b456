// Version information of a program file. Our programs carry a compiled-in
// version record (numbers from the build's project version, flags,
// translations and the string table); files without it give no block.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qv::ui {

inline constexpr std::uint32_t VS_FF_DEBUG = 0x01;
inline constexpr std::uint32_t VS_FF_PRERELEASE = 0x02;
inline constexpr std::uint32_t VS_FF_PATCHED = 0x04;
inline constexpr std::uint32_t VS_FF_PRIVATEBUILD = 0x08;
inline constexpr std::uint32_t VS_FF_INFOINFERRED = 0x10;
inline constexpr std::uint32_t VS_FF_SPECIALBUILD = 0x20;

// One version record as a file carries it.
struct TVersionInfoBlock {
    std::uint32_t FileVersionMS = 0, FileVersionLS = 0;
    std::uint32_t ProductVersionMS = 0, ProductVersionLS = 0;
    std::uint32_t FileFlags = 0;
    // The raw "Translation" value: 4 bytes (language, code page) per entry.
    std::vector<std::uint8_t> Translation;
    // Keyed by translation text ("040904e4"), then by value name.
    std::map<std::string, std::map<std::string, std::string>> Strings;
};

// This program's own record.
TVersionInfoBlock ProgramVersionBlock();
// The record of `filename`: this program's own file has one, others none.
std::optional<TVersionInfoBlock> LoadVersionBlock(const std::string& filename);

class TVersionNumberInformation {
public:
    bool Valid = false;
    std::uint32_t MS = 0, LS = 0;
    std::string Override;
    int Part(int index) const;
    // Empty while not valid; else the override when set; else "a.b.c.d".
    std::string Text() const;
};

enum TPreDef {
    pdCompanyName, pdFileDescription, pdFileVersion, pdInternalName, pdLegalCopyright, pdLegalTrademarks,
    pdOriginalFilename, pdProductName, pdProductVersion, pdComments, pdBuildFlags
};
inline constexpr int kPreDefCount = 11;
const char* PreDefKey(int index);
const char* PreDefLabel(int index);

class TdfsVersionInfoResource {
public:
    // Reads the record of `filename`; empty means this program's own file.
    explicit TdfsVersionInfoResource(std::string filename = {});

    void SetFilename(const std::string& filename);
    const std::string& Filename() const { return filename_; }
    void ReadVersionInfo();
    // Takes `block` as the file's record (none: the file has no record).
    void ApplyBlock(std::optional<TVersionInfoBlock> block);

    // The string value of item 0..10 in the current translation; empty for
    // other indexes, without a block or without the value.
    std::string GetByIndex(int index) const;
    std::string Value(const std::string& key) const;
    std::string BuildFlagsText() const;
    const std::vector<std::string>& Translations() const { return translations_; }
    // (label, value) rows in the list view's order.
    std::vector<std::pair<std::string, std::string>> ListRows() const;

    TVersionNumberInformation FileVersion;
    TVersionNumberInformation ProductVersion;

private:
    std::string filename_;
    std::optional<TVersionInfoBlock> block_;
    std::vector<std::string> translations_;
    std::size_t translation_ = 0;
};

// The version file of the internal pages: its first line a version number
// of four dot-separated parts of 1 to 5 digits each, its second the address
// of the page with the new version, a web address (sys::IsWebUrl) of at
// most kVersionPageLimit characters.
inline constexpr std::size_t kVersionPageLimit = 150;
struct TVersionFile {
    // False: the reply is not a version file (a failed check).
    bool Valid = false;
    std::string Version;
    // Empty when the file has one line only: there is nothing to offer.
    std::string Page;
};
TVersionFile ReadVersionFile(const std::string& reply);

}  // namespace qv::ui
