#include "platform/resources/ResourcePackWriter.h"

#include <zip.h>

#include "platform/resources/ResourceContainer.h"
#include "platform/system/Files.h"

namespace qv::sys {

namespace {

// Every entry carries this modification time (1 January 2000, 00:00), so
// that a pack depends on nothing but its resources.
constexpr time_t kEntryTime = 946684800;

void CheckPart(std::string_view part, std::string_view what) {
    if (part.empty() || part.find('/') != std::string_view::npos || part.find('\\') != std::string_view::npos)
        throw EResourceError("Invalid resource " + std::string(what) + " \"" + std::string(part) + "\"");
}

std::string ArchiveError(zip_t* archive) { return zip_strerror(archive); }

}  // namespace

void TResourcePackWriter::Add(std::string_view type, std::string_view name, std::span<const std::uint8_t> data) {
    CheckPart(type, "type");
    CheckPart(name, "name");
    std::string key = ResourceKey(type, name);
    for (const TEntry& e : entries_)
        if (e.Key == key) throw EResourceError("Resource " + std::string(type) + "/" + std::string(name) + " added twice");
    entries_.push_back({std::string(type) + "/" + std::string(name), std::move(key),
                        std::vector<std::uint8_t>(data.begin(), data.end())});
}

void TResourcePackWriter::Add(std::string_view type, std::string_view name, std::string_view data) {
    Add(type, name,
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
}

std::vector<std::uint8_t> TResourcePackWriter::Build() const {
    // The library writes nothing for an archive without entries; the empty
    // archive is its end record alone.
    if (entries_.empty()) {
        std::vector<std::uint8_t> empty(22, 0);
        empty[0] = 'P';
        empty[1] = 'K';
        empty[2] = 5;
        empty[3] = 6;
        return empty;
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!target) {
        std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw EResourceError("Unable to create resource pack: " + text);
    }
    // The buffer source outlives the archive that writes into it.
    zip_source_keep(target);
    zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
    if (!archive) {
        std::string text = zip_error_strerror(&error);
        zip_error_fini(&error);
        zip_source_free(target);
        zip_source_free(target);
        throw EResourceError("Unable to create resource pack: " + text);
    }
    zip_error_fini(&error);

    auto fail = [&](const std::string& text) {
        zip_discard(archive);
        zip_source_free(target);
        throw EResourceError("Unable to create resource pack: " + text);
    };
    for (const TEntry& e : entries_) {
        zip_source_t* data = zip_source_buffer(archive, e.Data.data(), e.Data.size(), 0);
        if (!data) fail(ArchiveError(archive));
        const zip_int64_t index = zip_file_add(archive, e.Path.c_str(), data, 0);
        if (index < 0) {
            zip_source_free(data);
            fail(ArchiveError(archive));
        }
        if (zip_file_set_mtime(archive, static_cast<zip_uint64_t>(index), kEntryTime, 0) != 0)
            fail(ArchiveError(archive));
    }
    if (zip_close(archive) != 0) fail(ArchiveError(archive));

    std::vector<std::uint8_t> bytes;
    zip_stat_t st;
    zip_stat_init(&st);
    bool ok = zip_source_open(target) == 0;
    if (ok && zip_source_stat(target, &st) == 0 && (st.valid & ZIP_STAT_SIZE)) {
        bytes.resize(static_cast<std::size_t>(st.size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const zip_int64_t n = zip_source_read(target, bytes.data() + got, bytes.size() - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        ok = got == bytes.size();
    } else {
        ok = false;
    }
    zip_source_close(target);
    zip_source_free(target);
    if (!ok) throw EResourceError("Unable to create resource pack: reading the archive back failed");
    return bytes;
}

bool TResourcePackWriter::Save(const std::string& path, std::string* error) const {
    std::vector<std::uint8_t> bytes;
    try {
        bytes = Build();
    } catch (const EResourceError& e) {
        if (error) *error = e.what();
        return false;
    }
    return WriteFileAtomic(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error);
}

}  // namespace qv::sys
