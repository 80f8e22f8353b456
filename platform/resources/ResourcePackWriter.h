// Writes resource packs in the form TResourceContainer reads: a ZIP archive
// with one entry "TYPE/NAME" per resource. Used by the content generator and
// by the tests' fixture builder. The same resources in the same order always
// give the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sys {

class TResourcePackWriter {
public:
    // Adds a resource. Type and name must be non-empty and free of '/' and
    // '\\'; a type and name already added (in any case) throws EResourceError.
    void Add(std::string_view type, std::string_view name, std::span<const std::uint8_t> data);
    void Add(std::string_view type, std::string_view name, std::string_view data);

    std::size_t Count() const { return entries_.size(); }

    // The pack's bytes. Throws EResourceError when the archive cannot be made.
    std::vector<std::uint8_t> Build() const;
    // Builds the pack and writes it to `path` through a temporary file that
    // replaces it at the end. Returns success; the reason goes to `error`.
    bool Save(const std::string& path, std::string* error = nullptr) const;

private:
    struct TEntry {
        std::string Path;
        std::string Key;
        std::vector<std::uint8_t> Data;
    };
    std::vector<TEntry> entries_;
};

}  // namespace qv::sys
