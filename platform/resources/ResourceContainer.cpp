#include "platform/resources/ResourceContainer.h"

#include <fcntl.h>
#include <unistd.h>
#include <zip.h>

#include <cstdio>
#include <memory>

namespace qv::sys {

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string ErrorText(zip_error_t* error) {
    std::string text = zip_error_strerror(error);
    zip_error_fini(error);
    return text;
}

struct TFileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

}  // namespace

std::string ResourceKey(std::string_view type, std::string_view name) {
    std::string key;
    key.reserve(type.size() + 1 + name.size());
    for (char c : type) key += UpperAscii(c);
    key += '/';
    for (char c : name) key += UpperAscii(c);
    return key;
}

std::unique_ptr<TResourceContainer> TResourceContainer::OpenFile(const std::string& path, LinkRule links,
                                                                std::uint64_t maxSize) {
    // The archive keeps this descriptor for its whole life, so the pack read
    // later is the one checked now, even when the file is replaced meanwhile.
    TReadableFile opened = TReadableFile::Open(path, links, maxSize);
    if (opened.Status() != FileStatus::Ok) throw EResourceError("Unable to open resource pack " + path + ": " + opened.Error());
    const int fd = ::dup(opened.Fd());
    FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "rb");
    if (!file) {
        if (fd >= 0) ::close(fd);
        throw EResourceError("Unable to open resource pack " + path);
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_filep_create(file, 0, -1, &error);
    if (!source) {
        std::fclose(file);
        throw EResourceError("Unable to open resource pack " + path + ": " + ErrorText(&error));
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive) {
        zip_source_free(source);  // closes the file
        throw EResourceError("Invalid resource pack " + path + ": " + ErrorText(&error));
    }
    zip_error_fini(&error);
    std::unique_ptr<TResourceContainer> container(new TResourceContainer());
    container->archive_ = archive;
    container->BuildIndex();
    return container;
}

std::unique_ptr<TResourceContainer> TResourceContainer::OpenMemory(std::vector<std::uint8_t> bytes) {
    std::unique_ptr<TResourceContainer> container(new TResourceContainer());
    container->memory_ = std::move(bytes);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source =
        zip_source_buffer_create(container->memory_.data(), container->memory_.size(), 0, &error);
    if (!source) throw EResourceError("Invalid resource pack: " + ErrorText(&error));
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive) {
        zip_source_free(source);
        throw EResourceError("Invalid resource pack: " + ErrorText(&error));
    }
    zip_error_fini(&error);
    container->archive_ = archive;
    container->BuildIndex();
    return container;
}

TResourceContainer::~TResourceContainer() {
    if (archive_) zip_discard(archive_);
}

void TResourceContainer::BuildIndex() {
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    if (count < 0 || static_cast<std::uint64_t>(count) > kMaxEntries)
        throw EResourceError("Invalid resource pack: " + std::to_string(count) + " entries");
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        const char* raw = zip_get_name(archive_, i, ZIP_FL_ENC_RAW);
        if (!raw) continue;
        const std::string_view path(raw);
        // Only "TYPE/NAME" entries are resources; folders and deeper paths are not.
        const std::size_t slash = path.find('/');
        if (slash == 0 || slash == std::string_view::npos || slash + 1 == path.size() ||
            path.find('/', slash + 1) != std::string_view::npos)
            continue;
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive_, i, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) continue;
        TEntry entry{std::string(path.substr(0, slash)), std::string(path.substr(slash + 1)), st.size};
        // A name stored twice (in any spelling) is served from its first entry.
        if (byKey_.emplace(ResourceKey(entry.Type, entry.Name), entries_.size()).second) {
            entries_.push_back(std::move(entry));
            entryIndex_.push_back(i);
        }
    }
}

const TResourceContainer::TEntry* TResourceContainer::Find(std::string_view type, std::string_view name,
                                                           std::uint64_t* index) const {
    const auto it = byKey_.find(ResourceKey(type, name));
    if (it == byKey_.end()) return nullptr;
    if (index) *index = entryIndex_[it->second];
    return &entries_[it->second];
}

bool TResourceContainer::Has(std::string_view type, std::string_view name) const {
    return Find(type, name, nullptr) != nullptr;
}

std::optional<std::uint64_t> TResourceContainer::SizeOf(std::string_view type, std::string_view name) const {
    const TEntry* entry = Find(type, name, nullptr);
    if (!entry) return std::nullopt;
    return entry->Size;
}

std::optional<std::vector<std::uint8_t>> TResourceContainer::Read(std::string_view type,
                                                                  std::string_view name) const {
    std::uint64_t index = 0;
    const TEntry* entry = Find(type, name, &index);
    if (!entry) return std::nullopt;
    const std::string what = entry->Type + "/" + entry->Name;
    if (entry->Size > kMaxResourceSize)
        throw EResourceError("Resource " + what + " too large: " + std::to_string(entry->Size) + " bytes");

    std::unique_ptr<zip_file_t, TFileCloser> file(zip_fopen_index(archive_, index, 0));
    if (!file) throw EResourceError("Unable to read resource " + what + ": " + zip_strerror(archive_));

    std::vector<std::uint8_t> data(static_cast<std::size_t>(entry->Size));
    std::size_t got = 0;
    while (got < data.size()) {
        const zip_int64_t n = zip_fread(file.get(), data.data() + got, data.size() - got);
        if (n < 0) throw EResourceError("Unable to read resource " + what + ": " + zip_file_strerror(file.get()));
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    // Reading on to the end of the entry is what makes the library check its
    // CRC; more data than the directory promised is an error as well.
    std::uint8_t extra = 0;
    const zip_int64_t tail = zip_fread(file.get(), &extra, 1);
    if (tail < 0) throw EResourceError("Unable to read resource " + what + ": " + zip_file_strerror(file.get()));
    if (got != data.size() || tail != 0)
        throw EResourceError("Unable to read resource " + what + ": stored size does not match");
    return data;
}

std::vector<TResourceContainer::TEntry> TResourceContainer::Entries() const { return entries_; }

}  // namespace qv::sys
