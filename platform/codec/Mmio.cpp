#include "platform/codec/Mmio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/system/FileCore.h"

namespace qv::codec {

namespace {

std::uint32_t LoadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void StoreU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// RIFF offsets are 32-bit.
constexpr std::int64_t kMaxOffset = std::numeric_limits<std::uint32_t>::max();

std::int64_t SeekTarget(std::int64_t pos, std::int64_t size, std::int64_t offset, int origin) {
    std::int64_t base = 0;
    if (origin == SEEK_CUR) base = pos;
    else if (origin == SEEK_END) base = size;
    else if (origin != SEEK_SET) return -1;
    const std::int64_t target = base + offset;
    return target < 0 ? -1 : target;
}

}  // namespace

// ---- storages --------------------------------------------------------------

TMemoryReadStorage::TMemoryReadStorage(const void* data, std::size_t size)
    : data_(static_cast<const std::uint8_t*>(data)), size_(data ? size : 0) {}

std::int64_t TMemoryReadStorage::Read(void* buffer, std::size_t count) {
    if (pos_ >= size_) return 0;
    const std::size_t n = std::min(count, size_ - pos_);
    std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return static_cast<std::int64_t>(n);
}

std::int64_t TMemoryReadStorage::Seek(std::int64_t offset, int origin) {
    const std::int64_t t =
        SeekTarget(static_cast<std::int64_t>(pos_), static_cast<std::int64_t>(size_), offset, origin);
    if (t < 0) return -1;
    pos_ = static_cast<std::size_t>(t);
    return t;
}

std::int64_t TMemoryStorage::Read(void* buffer, std::size_t count) {
    if (pos_ >= data_.size()) return 0;
    const std::size_t n = std::min(count, data_.size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return static_cast<std::int64_t>(n);
}

std::int64_t TMemoryStorage::Write(const void* data, std::size_t count) {
    if (count == 0) return 0;
    if (pos_ + count > data_.size()) data_.resize(pos_ + count);
    std::memcpy(data_.data() + pos_, data, count);
    pos_ += count;
    return static_cast<std::int64_t>(count);
}

std::int64_t TMemoryStorage::Seek(std::int64_t offset, int origin) {
    const std::int64_t t =
        SeekTarget(static_cast<std::int64_t>(pos_), static_cast<std::int64_t>(data_.size()), offset, origin);
    if (t < 0) return -1;
    pos_ = static_cast<std::size_t>(t);
    return t;
}

std::unique_ptr<TFileStorage> TFileStorage::Open(const std::string& path, std::uint32_t flags) {
    const std::uint32_t access = flags & 0x3u;
    const bool writes = (flags & MMIO_CREATE) || access == MMIO_WRITE || access == MMIO_READWRITE;
    if (!writes) {
        // Sound files lie in the machine-wide folder: no link, no FIFO.
        sys::TReadableFile file = sys::TReadableFile::Open(path, sys::LinkRule::Refuse, sys::kNoSizeLimit);
        if (file.Status() != sys::FileStatus::Ok) return nullptr;
        return FromDescriptor(file.Fd(), "rb");
    }
    // Written in place: never through a link, never into a FIFO or device.
    // (Whole files are written as replacements: FromDescriptor.)
    const int fd = sys::OpenInPlace(path, access != MMIO_WRITE, (flags & MMIO_CREATE) != 0);
    if (fd < 0) return nullptr;
    std::unique_ptr<TFileStorage> storage =
        FromDescriptor(fd, (flags & MMIO_CREATE) && access == MMIO_WRITE ? "wb" : "r+b");
    ::close(fd);
    return storage;
}

std::unique_ptr<TFileStorage> TFileStorage::FromDescriptor(int fd, const char* mode) {
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) return nullptr;
    std::FILE* f = ::fdopen(own, mode);
    if (!f) {
        ::close(own);
        return nullptr;
    }
    return std::unique_ptr<TFileStorage>(new TFileStorage(f));
}

TFileStorage::~TFileStorage() { Close(); }

bool TFileStorage::Close() {
    if (!file_) return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
}

std::int64_t TFileStorage::Read(void* buffer, std::size_t count) {
    if (!file_) return -1;
    const std::size_t n = std::fread(buffer, 1, count, file_);
    if (n < count && std::ferror(file_)) {
        std::clearerr(file_);
        return -1;
    }
    return static_cast<std::int64_t>(n);
}

std::int64_t TFileStorage::Write(const void* data, std::size_t count) {
    if (!file_) return -1;
    const std::size_t n = std::fwrite(data, 1, count, file_);
    if (n < count) {
        std::clearerr(file_);
        return -1;
    }
    return static_cast<std::int64_t>(n);
}

std::int64_t TFileStorage::Seek(std::int64_t offset, int origin) {
    if (!file_) return -1;
    if (::fseeko(file_, static_cast<off_t>(offset), origin) != 0) return -1;
    return static_cast<std::int64_t>(::ftello(file_));
}

bool TFileStorage::Flush() { return file_ && std::fflush(file_) == 0; }

// ---- handle ----------------------------------------------------------------

TMmio::TMmio(std::unique_ptr<IMmioStorage> storage) : storage_(std::move(storage)) {
    if (storage_) pos_ = std::max<std::int64_t>(0, storage_->Seek(0, SEEK_CUR));
}

TMmio::~TMmio() { Close(); }

std::unique_ptr<TMmio> TMmio::Open(const std::string& fileName, std::uint32_t flags, MMRESULT* error) {
    auto storage = TFileStorage::Open(fileName, flags);
    if (!storage) {
        if (error) *error = (flags & MMIO_CREATE) ? MMIOERR_CANNOTOPEN : MMIOERR_FILENOTFOUND;
        return nullptr;
    }
    if (error) *error = MMSYSERR_NOERROR;
    return std::make_unique<TMmio>(std::move(storage));
}

std::unique_ptr<TMmio> TMmio::OpenMemory(const void* data, std::size_t size) {
    return std::make_unique<TMmio>(std::make_unique<TMemoryReadStorage>(data, size));
}

std::int32_t TMmio::Read(void* buffer, std::int32_t count) {
    if (!storage_ || count < 0) return -1;
    if (count == 0) return 0;
    const std::int64_t n = storage_->Read(buffer, static_cast<std::size_t>(count));
    if (n < 0) return -1;
    pos_ += n;
    return static_cast<std::int32_t>(n);
}

std::int32_t TMmio::Write(const void* data, std::int32_t count) {
    if (!storage_ || count < 0) return -1;
    if (count == 0) return 0;
    if (pos_ + count > kMaxOffset) return -1;
    const std::int64_t n = storage_->Write(data, static_cast<std::size_t>(count));
    if (n < 0) return -1;
    pos_ += n;
    return static_cast<std::int32_t>(n);
}

std::int32_t TMmio::Seek(std::int32_t offset, int origin) {
    if (!storage_) return -1;
    const std::int64_t t = storage_->Seek(offset, origin);
    if (t < 0 || t > std::numeric_limits<std::int32_t>::max()) {
        if (t >= 0) pos_ = t;
        return -1;
    }
    pos_ = t;
    return static_cast<std::int32_t>(t);
}

bool TMmio::ReadHeader(MMCKINFO& ck, std::int64_t at) {
    if (at > kMaxOffset - 8 || storage_->Seek(at, SEEK_SET) != at) return false;
    pos_ = at;
    std::uint8_t head[8];
    if (Read(head, 8) != 8) return false;
    ck.ckid = LoadU32(head);
    ck.cksize = LoadU32(head + 4);
    ck.dwDataOffset = static_cast<std::uint32_t>(at + 8);
    ck.fccType = 0;
    ck.dwFlags = 0;
    if (ck.ckid == FOURCC_RIFF || ck.ckid == FOURCC_LIST) {
        std::uint8_t form[4];
        if (Read(form, 4) != 4) return false;
        ck.fccType = LoadU32(form);
    }
    return true;
}

MMRESULT TMmio::Descend(MMCKINFO& ck, const MMCKINFO* parent, std::uint32_t flags) {
    if (!storage_) return MMSYSERR_INVALHANDLE;
    const std::int64_t parentEnd =
        parent ? static_cast<std::int64_t>(parent->dwDataOffset) + parent->cksize : kMaxOffset;
    const FOURCC wantId = (flags & MMIO_FINDRIFF)   ? FOURCC_RIFF
                          : (flags & MMIO_FINDLIST) ? FOURCC_LIST
                                                    : ck.ckid;
    const FOURCC wantType = ck.fccType;
    const bool searching = (flags & (MMIO_FINDCHUNK | MMIO_FINDRIFF | MMIO_FINDLIST)) != 0;
    std::int64_t at = pos_;
    for (;;) {
        if (at + 8 > parentEnd) return MMIOERR_CHUNKNOTFOUND;
        MMCKINFO found;
        if (!ReadHeader(found, at)) return MMIOERR_CHUNKNOTFOUND;
        const bool match = !searching || (found.ckid == wantId &&
                                          (!(flags & (MMIO_FINDRIFF | MMIO_FINDLIST)) || found.fccType == wantType));
        if (match) {
            ck = found;
            return MMSYSERR_NOERROR;
        }
        at = static_cast<std::int64_t>(found.dwDataOffset) + found.cksize + (found.cksize & 1u);
    }
}

MMRESULT TMmio::Ascend(MMCKINFO& ck, std::uint32_t) {
    if (!storage_) return MMSYSERR_INVALHANDLE;
    if (ck.dwFlags & MMIO_DIRTY) {
        const std::int64_t end = pos_;
        if (end < ck.dwDataOffset) return MMIOERR_CANNOTSEEK;
        const auto size = static_cast<std::uint32_t>(end - ck.dwDataOffset);
        if (size != ck.cksize) {
            std::uint8_t b[4];
            StoreU32(b, size);
            if (Seek(static_cast<std::int32_t>(ck.dwDataOffset - 4), SEEK_SET) < 0 || Write(b, 4) != 4) {
                Seek(static_cast<std::int32_t>(end), SEEK_SET);
                return MMIOERR_CANNOTWRITE;
            }
            ck.cksize = size;
        }
        if (size & 1u) {
            // The pad byte belongs behind the chunk; without it the position
            // stays at the chunk's end, so outer sizes match the file.
            const std::uint8_t pad = 0;
            if (Seek(static_cast<std::int32_t>(end), SEEK_SET) < 0 || Write(&pad, 1) != 1) {
                Seek(static_cast<std::int32_t>(end), SEEK_SET);
                return MMIOERR_CANNOTWRITE;
            }
        }
        ck.dwFlags &= ~MMIO_DIRTY;
    }
    const std::int64_t next = static_cast<std::int64_t>(ck.dwDataOffset) + ck.cksize + (ck.cksize & 1u);
    if (next > std::numeric_limits<std::int32_t>::max() || Seek(static_cast<std::int32_t>(next), SEEK_SET) < 0)
        return MMIOERR_CANNOTSEEK;
    return MMSYSERR_NOERROR;
}

MMRESULT TMmio::CreateChunk(MMCKINFO& ck, std::uint32_t flags) {
    if (!storage_) return MMSYSERR_INVALHANDLE;
    if (flags & MMIO_CREATERIFF) ck.ckid = FOURCC_RIFF;
    else if (flags & MMIO_CREATELIST) ck.ckid = FOURCC_LIST;
    const bool form = ck.ckid == FOURCC_RIFF || ck.ckid == FOURCC_LIST;
    std::uint8_t head[12];
    StoreU32(head, ck.ckid);
    StoreU32(head + 4, ck.cksize);
    StoreU32(head + 8, ck.fccType);
    const std::int64_t at = pos_;
    const std::int32_t n = form ? 12 : 8;
    if (at + n > kMaxOffset || Write(head, n) != n) return MMIOERR_CANNOTWRITE;
    ck.dwDataOffset = static_cast<std::uint32_t>(at + 8);
    ck.dwFlags = MMIO_DIRTY;
    return MMSYSERR_NOERROR;
}

MMRESULT TMmio::GetInfo(MMIOINFO& info) const {
    if (!storage_) return MMSYSERR_INVALHANDLE;
    info.dwFlags = 0;
    info.fccIOProc = storage_->IOProc();
    info.lDiskOffset = static_cast<std::int32_t>(std::min<std::int64_t>(pos_, std::numeric_limits<std::int32_t>::max()));
    return MMSYSERR_NOERROR;
}

MMRESULT TMmio::Flush() {
    if (!storage_) return MMSYSERR_INVALHANDLE;
    return storage_->Flush() ? MMSYSERR_NOERROR : MMIOERR_CANNOTWRITE;
}

MMRESULT TMmio::Close() {
    if (!storage_) return MMSYSERR_INVALHANDLE;
    MMRESULT r = storage_->Flush() ? MMSYSERR_NOERROR : MMIOERR_CANNOTWRITE;
    if (auto* file = dynamic_cast<TFileStorage*>(storage_.get()); file && !file->Close() && r == MMSYSERR_NOERROR)
        r = MMIOERR_CANNOTCLOSE;
    storage_.reset();
    return r;
}

}  // namespace qv::codec
