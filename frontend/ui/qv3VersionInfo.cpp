#include "frontend/ui/qv3VersionInfo.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "foundation/TextUtil.h"
#include "platform/system/Internet.h"

namespace qv::ui {

namespace {

std::string Hex4x4(unsigned a, unsigned b) {
    char text[16];
    std::snprintf(text, sizeof text, "%.4x%.4x", a & 0xFFFFu, b & 0xFFFFu);
    return text;
}

std::string OwnExecutable() {
    std::error_code ec;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace

TVersionInfoBlock ProgramVersionBlock() {
    TVersionInfoBlock block;
    const std::uint32_t major = QUORVEX_VERSION_MAJOR, minor = QUORVEX_VERSION_MINOR, patch = QUORVEX_VERSION_PATCH;
    const std::uint32_t build = QUORVEX_VERSION_BUILD;
    block.FileVersionMS = block.ProductVersionMS = (major << 16) | minor;
    block.FileVersionLS = block.ProductVersionLS = (patch << 16) | build;
    block.Translation = {0x09, 0x04, 0xE4, 0x04};  // 1033, code page 1252
    const std::string number = std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch) +
                               "." + std::to_string(build);
    block.Strings["040904e4"] = {
        {"CompanyName", "Tollbeck"},
        {"FileDescription", "Quorvex"},
        {"FileVersion", number},
        {"InternalName", "quorvex"},
        {"LegalCopyright", "Copyright (C) Tollbeck"},
        {"OriginalFilename", "quorvex"},
        {"ProductName", "Quorvex"},
        {"ProductVersion", number},
    };
    return block;
}

std::optional<TVersionInfoBlock> LoadVersionBlock(const std::string& filename) {
    if (filename.empty() || SameFile(filename, OwnExecutable())) return ProgramVersionBlock();
    return std::nullopt;
}

int TVersionNumberInformation::Part(int index) const {
    if (!Valid) return 0;
    switch (index) {
        case 0: return static_cast<int>(MS >> 16);
        case 1: return static_cast<int>(MS & 0xFFFFu);
        case 2: return static_cast<int>(LS >> 16);
        case 3: return static_cast<int>(LS & 0xFFFFu);
        default: return 0;
    }
}

std::string TVersionNumberInformation::Text() const {
    if (!Valid) return {};
    if (!Override.empty()) return Override;
    return std::to_string(Part(0)) + "." + std::to_string(Part(1)) + "." + std::to_string(Part(2)) + "." +
           std::to_string(Part(3));
}

const char* PreDefKey(int index) {
    static const char* const keys[kPreDefCount] = {
        "CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright", "LegalTrademarks",
        "OriginalFilename", "ProductName", "ProductVersion", "Comments", "BuildFlags"};
    return index >= 0 && index < kPreDefCount ? keys[index] : "";
}

const char* PreDefLabel(int index) {
    static const char* const labels[kPreDefCount] = {
        "Company Name", "File Description", "File Version", "Internal Name", "Legal Copyright", "Legal Trademarks",
        "Original Filename", "Product Name", "Product Version", "Comments", "Build Flags"};
    return index >= 0 && index < kPreDefCount ? labels[index] : "";
}

TdfsVersionInfoResource::TdfsVersionInfoResource(std::string filename) : filename_(std::move(filename)) {
    ReadVersionInfo();
}

void TdfsVersionInfoResource::SetFilename(const std::string& filename) {
    filename_ = filename;
    ReadVersionInfo();
}

void TdfsVersionInfoResource::ReadVersionInfo() { ApplyBlock(LoadVersionBlock(filename_)); }

void TdfsVersionInfoResource::ApplyBlock(std::optional<TVersionInfoBlock> block) {
    translations_.clear();
    block_ = std::move(block);
    FileVersion = {};
    ProductVersion = {};
    if (!block_) return;
    const std::vector<std::uint8_t>& t = block_->Translation;
    for (std::size_t i = 0; i + 4 <= t.size(); i += 4)
        translations_.push_back(Hex4x4(t[i] | (t[i + 1] << 8u), t[i + 2] | (t[i + 3] << 8u)));
    if (!t.empty() && t.size() < 4) {
        const unsigned first = t.size() >= 2 ? (t[0] | (t[1] << 8u)) : t[0];
        translations_.push_back(Hex4x4(1033, first));
    }
    if (translation_ >= translations_.size()) translation_ = 0;
    FileVersion.Valid = true;
    FileVersion.MS = block_->FileVersionMS;
    FileVersion.LS = block_->FileVersionLS;
    FileVersion.Override = Value("FileVersion");
    ProductVersion.Valid = true;
    ProductVersion.MS = block_->ProductVersionMS;
    ProductVersion.LS = block_->ProductVersionLS;
    ProductVersion.Override = Value("ProductVersion");
}

std::string TdfsVersionInfoResource::Value(const std::string& key) const {
    if (!block_) return {};
    std::string translation = translation_ < translations_.size() ? translations_[translation_] : "040904E4";
    for (char& c : translation) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto table = block_->Strings.find(translation);
    if (table == block_->Strings.end()) return {};
    const auto value = table->second.find(key);
    return value == table->second.end() ? std::string() : value->second;
}

std::string TdfsVersionInfoResource::GetByIndex(int index) const {
    if (index < 0 || index >= kPreDefCount) return {};
    return Value(PreDefKey(index));
}

std::string TdfsVersionInfoResource::BuildFlagsText() const {
    if (!block_) return {};
    static const std::pair<std::uint32_t, const char*> flags[] = {
        {VS_FF_DEBUG, "Debug"},     {VS_FF_INFOINFERRED, "Info Inferred"}, {VS_FF_PATCHED, "Patched"},
        {VS_FF_PRERELEASE, "Pre-Release"}, {VS_FF_PRIVATEBUILD, "Private"}, {VS_FF_SPECIALBUILD, "Special"}};
    std::string text;
    for (const auto& [bit, name] : flags) {
        if ((block_->FileFlags & bit) == 0) continue;
        if (!text.empty()) text += ", ";
        text += name;
    }
    return text;
}

std::vector<std::pair<std::string, std::string>> TdfsVersionInfoResource::ListRows() const {
    return {{PreDefLabel(pdProductName), GetByIndex(pdProductName)},
            {PreDefLabel(pdProductVersion), ProductVersion.Text()},
            {PreDefLabel(pdCompanyName), GetByIndex(pdCompanyName)},
            {PreDefLabel(pdLegalCopyright), GetByIndex(pdLegalCopyright)},
            {PreDefLabel(pdLegalTrademarks), GetByIndex(pdLegalTrademarks)},
            {PreDefLabel(pdFileDescription), GetByIndex(pdFileDescription)},
            {PreDefLabel(pdFileVersion), FileVersion.Text()},
            {PreDefLabel(pdInternalName), GetByIndex(pdInternalName)},
            {PreDefLabel(pdOriginalFilename), GetByIndex(pdOriginalFilename)},
            {PreDefLabel(pdBuildFlags), BuildFlagsText()},
            {PreDefLabel(pdComments), GetByIndex(pdComments)}};
}

TVersionFile ReadVersionFile(const std::string& reply) {
    TVersionFile file;
    const std::vector<std::string> lines = SplitLines(reply);
    if (lines.empty()) return file;
    const std::string& version = lines[0];
    int parts = 1;
    std::size_t digits = 0;
    for (char c : version) {
        if (c == '.') {
            if (digits == 0) return file;
            ++parts;
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 5) {
            ++digits;
        } else {
            return file;
        }
    }
    if (parts != 4 || digits == 0) return file;
    if (lines.size() >= 2) {
        const std::string& page = lines[1];
        if (page.size() > kVersionPageLimit || !sys::IsWebUrl(page)) return file;
        file.Page = page;
    }
    file.Version = version;
    file.Valid = true;
    return file;
}

}  // namespace qv::ui
