// Named resources by type, read from a resource pack.
//
// A pack is a ZIP archive whose top folders are the resource types: the
// entry "SCENARIO3/1.lvl" is the resource "1.lvl" of type "SCENARIO3", and
// "DATA/langENU.txt" the resource "langENU.txt" of type "DATA". Types and
// names are matched without regard to ASCII case. A pack is read-only; its
// file stays open while the container lives, and each resource is read on
// demand.
//
// Packs come from a folder any local user can write to, so every size is
// checked: the entry count, each resource's size, and that the stored data
// really holds that many bytes with a matching CRC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/system/FileCore.h"
#include <string_view>
#include <unordered_map>
#include <vector>

struct zip;

namespace qv::sys {

// A pack that cannot be opened, or a resource whose stored data is bad.
class EResourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TResourceContainer {
public:
    // Bounds a pack must keep; larger values make it (or the resource) bad.
    static constexpr std::uint64_t kMaxEntries = 100000;
    static constexpr std::uint64_t kMaxResourceSize = 256u * 1024u * 1024u;

    // Opens the pack file at `path` through the file layer, with the link
    // rule of its folder and at most `maxSize` bytes; throws EResourceError
    // when it is not a readable pack.
    static std::unique_ptr<TResourceContainer> OpenFile(const std::string& path, LinkRule links = LinkRule::Follow,
                                                        std::uint64_t maxSize = kNoSizeLimit);
    // The same over pack bytes held in memory (the container keeps them).
    static std::unique_ptr<TResourceContainer> OpenMemory(std::vector<std::uint8_t> bytes);

    ~TResourceContainer();
    TResourceContainer(const TResourceContainer&) = delete;
    TResourceContainer& operator=(const TResourceContainer&) = delete;

    bool Has(std::string_view type, std::string_view name) const;
    // The uncompressed size of a resource, or nothing when it is absent.
    std::optional<std::uint64_t> SizeOf(std::string_view type, std::string_view name) const;
    // The resource's bytes, or nothing when it is absent. Throws
    // EResourceError when its stored data is bad or too large.
    std::optional<std::vector<std::uint8_t>> Read(std::string_view type, std::string_view name) const;

    struct TEntry {
        std::string Type;
        std::string Name;
        std::uint64_t Size;
    };
    // Every resource as stored (spelling kept), in archive order.
    std::vector<TEntry> Entries() const;

private:
    TResourceContainer() = default;
    void BuildIndex();
    const TEntry* Find(std::string_view type, std::string_view name, std::uint64_t* index) const;

    zip* archive_ = nullptr;
    std::vector<std::uint8_t> memory_;  // the pack bytes, for packs opened from memory
    std::vector<TEntry> entries_;
    std::vector<std::uint64_t> entryIndex_;             // archive index of entries_[i]
    std::unordered_map<std::string, std::size_t> byKey_;  // upper-case "TYPE/NAME" -> entries_ index
};

// "TYPE/NAME" in upper case: the key a resource is found by.
std::string ResourceKey(std::string_view type, std::string_view name);

}  // namespace qv::sys
