// Buffered RIFF file I/O in the shape of the multimedia file functions:
// open a file or a memory block, descend into and ascend out of chunks,
// find a chunk by id within its parent, create chunks whose sizes are fixed
// up on ascent (with the pad byte of an odd size). Results are the
// multimedia result codes; reads, writes and seeks return -1 on failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace qv::codec {

using MMRESULT = std::uint32_t;
using FOURCC = std::uint32_t;

constexpr FOURCC MakeFourCC(char a, char b, char c, char d) {
    return static_cast<FOURCC>(static_cast<std::uint8_t>(a)) |
           (static_cast<FOURCC>(static_cast<std::uint8_t>(b)) << 8) |
           (static_cast<FOURCC>(static_cast<std::uint8_t>(c)) << 16) |
           (static_cast<FOURCC>(static_cast<std::uint8_t>(d)) << 24);
}

inline constexpr FOURCC FOURCC_RIFF = MakeFourCC('R', 'I', 'F', 'F');
inline constexpr FOURCC FOURCC_LIST = MakeFourCC('L', 'I', 'S', 'T');
inline constexpr FOURCC FOURCC_MEM = MakeFourCC('M', 'E', 'M', ' ');

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MMIOERR_FILENOTFOUND = 257;
inline constexpr MMRESULT MMIOERR_CANNOTOPEN = 259;
inline constexpr MMRESULT MMIOERR_CANNOTCLOSE = 260;
inline constexpr MMRESULT MMIOERR_CANNOTREAD = 261;
inline constexpr MMRESULT MMIOERR_CANNOTWRITE = 262;
inline constexpr MMRESULT MMIOERR_CANNOTSEEK = 263;
inline constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = 265;

// Open flags.
inline constexpr std::uint32_t MMIO_READ = 0x00000000;
inline constexpr std::uint32_t MMIO_WRITE = 0x00000001;
inline constexpr std::uint32_t MMIO_READWRITE = 0x00000002;
inline constexpr std::uint32_t MMIO_CREATE = 0x00001000;
inline constexpr std::uint32_t MMIO_ALLOCBUF = 0x00010000;
// Descend and create flags.
inline constexpr std::uint32_t MMIO_FINDCHUNK = 0x0010;
inline constexpr std::uint32_t MMIO_FINDRIFF = 0x0020;
inline constexpr std::uint32_t MMIO_FINDLIST = 0x0040;
inline constexpr std::uint32_t MMIO_CREATERIFF = 0x0020;
inline constexpr std::uint32_t MMIO_CREATELIST = 0x0040;
// A chunk created here and written to: its size is fixed on ascent.
inline constexpr std::uint32_t MMIO_DIRTY = 0x10000000;

struct MMCKINFO {
    FOURCC ckid = 0;
    std::uint32_t cksize = 0;
    FOURCC fccType = 0;
    std::uint32_t dwDataOffset = 0;
    std::uint32_t dwFlags = 0;
};

struct MMIOINFO {
    std::uint32_t dwFlags = 0;
    FOURCC fccIOProc = 0;
    std::int32_t lDiskOffset = 0;
};

// What a handle reads from and writes to.
class IMmioStorage {
public:
    virtual ~IMmioStorage() = default;
    // Bytes read (0 at the end), or -1.
    virtual std::int64_t Read(void* buffer, std::size_t count) = 0;
    // Bytes written, or -1.
    virtual std::int64_t Write(const void* data, std::size_t count) = 0;
    // The new position, or -1. Seeking past the end is allowed.
    virtual std::int64_t Seek(std::int64_t offset, int origin) = 0;
    virtual bool Flush() { return true; }
    virtual FOURCC IOProc() const = 0;
};

// Read-only view of memory the caller keeps alive ("MEM ").
class TMemoryReadStorage final : public IMmioStorage {
public:
    TMemoryReadStorage(const void* data, std::size_t size);
    std::int64_t Read(void* buffer, std::size_t count) override;
    std::int64_t Write(const void*, std::size_t) override { return -1; }
    std::int64_t Seek(std::int64_t offset, int origin) override;
    FOURCC IOProc() const override { return FOURCC_MEM; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A growable memory file ("MEM "); writing past the end grows it.
class TMemoryStorage : public IMmioStorage {
public:
    TMemoryStorage() = default;
    explicit TMemoryStorage(std::vector<std::uint8_t> data) : data_(std::move(data)) {}
    std::int64_t Read(void* buffer, std::size_t count) override;
    std::int64_t Write(const void* data, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    FOURCC IOProc() const override { return FOURCC_MEM; }
    const std::vector<std::uint8_t>& Data() const { return data_; }

protected:
    std::vector<std::uint8_t> data_;
    std::size_t pos_ = 0;
};

// A disk file ("DOS ").
class TFileStorage final : public IMmioStorage {
public:
    // Null when the file cannot be opened with these open flags.
    static std::unique_ptr<TFileStorage> Open(const std::string& path, std::uint32_t flags);
    // Over a copy of the open descriptor `fd` (fdopen mode `mode`).
    static std::unique_ptr<TFileStorage> FromDescriptor(int fd, const char* mode);
    ~TFileStorage() override;
    std::int64_t Read(void* buffer, std::size_t count) override;
    std::int64_t Write(const void* data, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, int origin) override;
    bool Flush() override;
    FOURCC IOProc() const override { return MakeFourCC('D', 'O', 'S', ' '); }
    // Closes the file; false when the final write-back failed.
    bool Close();

private:
    explicit TFileStorage(std::FILE* file) : file_(file) {}
    std::FILE* file_;
};

class TMmio {
public:
    explicit TMmio(std::unique_ptr<IMmioStorage> storage);
    ~TMmio();
    TMmio(const TMmio&) = delete;
    TMmio& operator=(const TMmio&) = delete;

    // Null when the file cannot be opened; `error` (when given) says why.
    static std::unique_ptr<TMmio> Open(const std::string& fileName, std::uint32_t flags,
                                       MMRESULT* error = nullptr);
    // Reads the memory block in place; it must outlive the handle.
    static std::unique_ptr<TMmio> OpenMemory(const void* data, std::size_t size);

    std::int32_t Read(void* buffer, std::int32_t count);
    std::int32_t Write(const void* data, std::int32_t count);
    std::int32_t Seek(std::int32_t offset, int origin);

    // Plain: the chunk at the current position. MMIO_FINDCHUNK: the first
    // chunk with ck.ckid from here on; MMIO_FINDRIFF / MMIO_FINDLIST: the
    // first RIFF / LIST chunk of form ck.fccType. The search stays within
    // `parent` when one is given. On success the position is the chunk's
    // data (behind the form type for RIFF and LIST).
    MMRESULT Descend(MMCKINFO& ck, const MMCKINFO* parent, std::uint32_t flags);
    // Moves behind the chunk and its pad byte; a chunk made by CreateChunk
    // gets its size from the current position first, and its pad byte.
    MMRESULT Ascend(MMCKINFO& ck, std::uint32_t flags = 0);
    // Writes a chunk header at the current position (MMIO_CREATERIFF /
    // MMIO_CREATELIST add the form type ck.fccType).
    MMRESULT CreateChunk(MMCKINFO& ck, std::uint32_t flags);
    MMRESULT GetInfo(MMIOINFO& info) const;
    MMRESULT Flush();
    // Flushes and releases the storage; later calls fail.
    MMRESULT Close();

    IMmioStorage* Storage() const { return storage_.get(); }

private:
    bool ReadHeader(MMCKINFO& ck, std::int64_t at);

    std::unique_ptr<IMmioStorage> storage_;
    std::int64_t pos_ = 0;
};

}  // namespace qv::codec
