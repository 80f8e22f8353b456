// Reading RIFF WAVE data and delivering it as PCM.
//
// TWaveReadStream parses the header (the 'fmt ' and 'data' chunks may lie
// in any order) and reads whole sample blocks of the data chunk; its
// descendants read memory, a stream, a file or a resource. TWavePCMReader
// sits on one and delivers PCM: PCM data as it is, compressed data (MPEG
// Layer-3) through a conversion stream, half a second of source at a time.
//
// Failures raise qv::Exception with the texts of the header parse below.
#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "foundation/Exceptions.h"
#include "platform/codec/Acm.h"
#include "platform/codec/Mmio.h"
#include "platform/codec/WaveFormat.h"

namespace qv {

namespace sys {
class TResourceContainer;
}

class TWaveReadStream {
public:
    virtual ~TWaveReadStream() = default;
    TWaveReadStream(const TWaveReadStream&) = delete;
    TWaveReadStream& operator=(const TWaveReadStream&) = delete;

    // Reads up to `count` bytes rounded down to whole blocks, never beyond
    // the data chunk; returns the bytes read.
    std::int32_t Read(void* buffer, std::int32_t count);
    // Back to the first sample byte.
    void Rewind();

    codec::TWaveFormat Format;
    std::uint32_t DataStart = 0;
    std::uint32_t DataSize = 0;

protected:
    TWaveReadStream() = default;
    // Detaches the current handle (ascending out of its chunks) and, with a
    // new one, parses its header and seeks to the data.
    void SetHandle(codec::TMmio* handle);
    // The detaching half, for destructors: never throws.
    void DetachQuietly() noexcept;

    codec::TMmio* Handle = nullptr;
    codec::MMCKINFO Chunk;
    codec::MMCKINFO Riff;

private:
    void ParseHeader();
};

// Reads a memory block in place; the block must outlive the reader.
class TCustomMemoryWaveReadStream : public TWaveReadStream {
public:
    TCustomMemoryWaveReadStream(const void* data, std::size_t size);
    ~TCustomMemoryWaveReadStream() override;

protected:
    TCustomMemoryWaveReadStream() = default;
    void OpenMemory(const void* data, std::size_t size);

    std::unique_ptr<codec::TMmio> MemHandle;
};

class TStreamWaveReadStream : public TCustomMemoryWaveReadStream {
public:
    // Memory the caller holds (a memory stream's bytes from its position
    // on), read in place.
    explicit TStreamWaveReadStream(std::span<const std::uint8_t> memory);
    // Any other stream: the rest of it is copied and owned.
    explicit TStreamWaveReadStream(std::istream& source);

    std::vector<std::uint8_t> Stream;  // the copy, when OwnsStream
    bool OwnsStream = false;
};

class TFileWaveReadStream : public TWaveReadStream {
public:
    explicit TFileWaveReadStream(const std::string& fileName);
    ~TFileWaveReadStream() override;

    std::unique_ptr<codec::TMmio> FileHandle;
    std::string FileName;
};

// A resource of a module (a resource pack): logs "Resource not found" as an
// error and raises EResNotFound when it does not hold it.
class TResourceWaveReadStream : public TCustomMemoryWaveReadStream {
public:
    TResourceWaveReadStream(const sys::TResourceContainer& instance, const std::string& name, const std::string& type);

    std::vector<std::uint8_t> ResData;
};

class TWavePCMReader {
public:
    // `driver` null lets the conversion layer choose among all drivers.
    TWavePCMReader(TWaveReadStream& source, codec::HACMDRIVER driver);
    ~TWavePCMReader();
    TWavePCMReader(const TWavePCMReader&) = delete;
    TWavePCMReader& operator=(const TWavePCMReader&) = delete;

    // Up to `count` bytes rounded down to whole PCM frames; fewer means the
    // end of the data. Every PCM byte comes exactly once, in order.
    std::int32_t Read(void* buffer, std::int32_t count);
    void Rewind();

    const codec::TWaveFormat& PCMFormat() const { return FPCMFormat; }
    // The PCM size of the whole data: exact for PCM, an estimate otherwise.
    std::uint32_t PCMSize = 0;

private:
    // Converts the next block; `sourceBytes` says how much source it took.
    std::uint32_t Convert(std::int32_t& sourceBytes);
    void Release() noexcept;

    TWaveReadStream& Source;
    std::uint32_t Position = 0;
    bool FirstBlock = true;
    codec::HACMSTREAM Stream = nullptr;
    codec::ACMSTREAMHEADER Header;
    codec::TWaveFormat FPCMFormat;
    std::vector<std::uint8_t> SrcBuffer;
    std::uint32_t SrcSize = 0;
    std::vector<std::uint8_t> DstBuffer;
    std::uint32_t DstSize = 0;
    std::uint32_t DstCount = 0;
    std::uint32_t DstStart = 0;
};

}  // namespace qv
