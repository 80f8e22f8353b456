#include "media/WaveRead.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

#include "foundation/qv3Log.h"
#include "platform/resources/ResourceContainer.h"

namespace qv {

namespace {

using namespace codec;

constexpr FOURCC kWave = MakeFourCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmt = MakeFourCC('f', 'm', 't', ' ');
constexpr FOURCC kData = MakeFourCC('d', 'a', 't', 'a');

// A format chunk larger than this is not a format record.
constexpr std::uint32_t kMaxFormatChunk = 64 * 1024;

[[noreturn]] void Fail(const std::string& text) { throw Exception(text); }

}  // namespace

// ---- TWaveReadStream -------------------------------------------------------

void TWaveReadStream::SetHandle(TMmio* handle) {
    if (Handle) {
        Handle->Seek(0, SEEK_END);
        if (Handle->Ascend(Chunk) != MMSYSERR_NOERROR || Handle->Ascend(Riff) != MMSYSERR_NOERROR) {
            Handle = nullptr;
            Fail("Cannot ascend chunk.");
        }
        const MMRESULT flushed = Handle->Flush();
        Handle = nullptr;
        Format = TWaveFormat();
        if (flushed != MMSYSERR_NOERROR) Fail("Cannot flush.");
    }
    Handle = handle;
    if (Handle) {
        ParseHeader();
        Handle->Seek(static_cast<std::int32_t>(DataStart), SEEK_SET);
    }
}

void TWaveReadStream::DetachQuietly() noexcept {
    try {
        SetHandle(nullptr);
    } catch (...) {
        Handle = nullptr;
    }
}

void TWaveReadStream::ParseHeader() {
    Riff = MMCKINFO();
    if (Handle->Descend(Riff, nullptr, 0) != MMSYSERR_NOERROR) Fail("Invalid multimedia file!");
    if (Riff.ckid != FOURCC_RIFF || Riff.fccType != kWave) Fail("Not a wave file!");

    Chunk = MMCKINFO();
    Chunk.ckid = kFmt;
    if (Handle->Descend(Chunk, &Riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) Fail("Couldn't find 'fmt' chunk!");
    if (Chunk.cksize > kMaxFormatChunk) Fail("Error reading 'fmt' chunk!");
    std::vector<std::uint8_t> record(std::max<std::size_t>(Chunk.cksize, kWaveFormatExSize), 0);
    const auto want = static_cast<std::int32_t>(Chunk.cksize);
    if (Handle->Read(record.data(), want) != want) Fail("Error reading 'fmt' chunk!");
    Format = TWaveFormat::FromBytes(record);
    // Both would be divisors later on.
    if (Format.Fmt.nBlockAlign == 0 || Format.Fmt.nAvgBytesPerSec == 0) Fail("Invalid wave format!");
    if (Handle->Ascend(Chunk) != MMSYSERR_NOERROR) Fail("Error ascending from 'fmt' chunk!");

    if (Handle->Seek(static_cast<std::int32_t>(Riff.dwDataOffset + 4), SEEK_SET) == -1) Fail("Error seeking data!");
    Chunk = MMCKINFO();
    Chunk.ckid = kData;
    if (Handle->Descend(Chunk, &Riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) Fail("Couldn't find 'data' chunk!");
    MMIOINFO info;
    if (Handle->GetInfo(info) != MMSYSERR_NOERROR) Fail("Error getting info!");
    DataStart = Chunk.dwDataOffset;
    DataSize = Chunk.cksize;
}

std::int32_t TWaveReadStream::Read(void* buffer, std::int32_t count) {
    if (!Handle || count <= 0) return 0;
    const std::uint32_t align = Format.Fmt.nBlockAlign;
    const std::int32_t at = Handle->Seek(0, SEEK_CUR);
    if (at < 0) Fail("Error reading from file.");
    const std::uint64_t end = static_cast<std::uint64_t>(DataStart) + DataSize;
    const std::uint64_t left = static_cast<std::uint64_t>(at) < end ? end - static_cast<std::uint64_t>(at) : 0;
    std::uint64_t n = std::min<std::uint64_t>(static_cast<std::uint64_t>(count), left);
    n -= n % align;
    if (n == 0) return 0;
    const std::int32_t got = Handle->Read(buffer, static_cast<std::int32_t>(n));
    if (got < 0) Fail("Error reading from file.");
    return got;
}

void TWaveReadStream::Rewind() {
    if (Handle) Handle->Seek(static_cast<std::int32_t>(DataStart), SEEK_SET);
}

// ---- sources ---------------------------------------------------------------

TCustomMemoryWaveReadStream::TCustomMemoryWaveReadStream(const void* data, std::size_t size) { OpenMemory(data, size); }

void TCustomMemoryWaveReadStream::OpenMemory(const void* data, std::size_t size) {
    if ((!data && size > 0) || size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        Fail("Can't open memory stream.");
    MemHandle = TMmio::OpenMemory(data, size);
    if (!MemHandle) Fail("Can't open memory stream.");
    SetHandle(MemHandle.get());
}

TCustomMemoryWaveReadStream::~TCustomMemoryWaveReadStream() {
    DetachQuietly();
    MemHandle.reset();
}

TStreamWaveReadStream::TStreamWaveReadStream(std::span<const std::uint8_t> memory) {
    OpenMemory(memory.data(), memory.size());
}

TStreamWaveReadStream::TStreamWaveReadStream(std::istream& source) {
    Stream.assign(std::istreambuf_iterator<char>(source), std::istreambuf_iterator<char>());
    OwnsStream = true;
    OpenMemory(Stream.data(), Stream.size());
}

TFileWaveReadStream::TFileWaveReadStream(const std::string& fileName) : FileName(fileName) {
    FileHandle = TMmio::Open(fileName, MMIO_READ | MMIO_ALLOCBUF);
    if (!FileHandle) Fail("Can't open file stream.");
    SetHandle(FileHandle.get());
}

TFileWaveReadStream::~TFileWaveReadStream() {
    DetachQuietly();
    FileHandle.reset();
}

TResourceWaveReadStream::TResourceWaveReadStream(const sys::TResourceContainer& instance, const std::string& name,
                                                 const std::string& type) {
    auto data = instance.Read(type, name);
    if (!data) {
        LogMessage("Resource not found", lkError);
        throw EResNotFound("Resource not found");
    }
    ResData = std::move(*data);
    OpenMemory(ResData.data(), ResData.size());
}

// ---- TWavePCMReader --------------------------------------------------------

TWavePCMReader::TWavePCMReader(TWaveReadStream& source, HACMDRIVER driver) : Source(source) {
    try {
        std::uint32_t maxFormat = 0;
        if (const MMRESULT r = acmMetrics(driver, ACM_METRIC_MAX_SIZE_FORMAT, maxFormat); r != MMSYSERR_NOERROR)
            Fail("AcmAppChooserFormatSuggest() acmMetrics failed (" + std::to_string(r) + ")");
        const std::uint32_t formatRoom =
            std::max<std::uint32_t>(maxFormat, static_cast<std::uint32_t>(Source.Format.StoredSize()));
        FirstBlock = true;
        const WAVEFORMATEX& src = Source.Format.Fmt;
        if (src.wFormatTag == WAVE_FORMAT_PCM) {
            FPCMFormat = Source.Format;
            PCMSize = Source.DataSize;
            return;
        }
        FPCMFormat = TWaveFormat();
        FPCMFormat.Fmt.wFormatTag = WAVE_FORMAT_PCM;
        if (const MMRESULT r = acmFormatSuggest(driver, Source.Format, FPCMFormat, formatRoom, ACM_FORMATSUGGESTF_WFORMATTAG);
            r != MMSYSERR_NOERROR)
            Fail("Can't suggest pcm format (" + std::to_string(r) + "). format=" + std::to_string(src.wFormatTag) +
                 " cbSize=" + std::to_string(src.cbSize));
        if (const MMRESULT r = acmStreamOpen(&Stream, driver, Source.Format, FPCMFormat, nullptr, 0, 0, 0);
            r != MMSYSERR_NOERROR)
            Fail("Can't open acm stream (" + std::to_string(r) + "). ");
        std::uint32_t blockPcm = 0, unit = 0;
        if (acmStreamSize(Stream, src.nBlockAlign, blockPcm, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR ||
            acmStreamSize(Stream, blockPcm, unit, ACM_STREAMSIZEF_DESTINATION) != MMSYSERR_NOERROR || unit == 0)
            Fail("Can't recommend an acm stream size.");
        // Whole units covering half a second of source.
        const std::uint64_t units =
            (static_cast<std::uint64_t>(src.nAvgBytesPerSec) * 500 + 1000ull * unit - 1) / (1000ull * unit);
        const std::uint64_t srcSize = units * unit;
        // Half a second of any real stream is far below this on both sides.
        constexpr std::uint64_t kMaxBlock = 16u * 1024u * 1024u;
        if (srcSize == 0 || srcSize > kMaxBlock) Fail("Can't recommend an acm stream size.");
        SrcSize = static_cast<std::uint32_t>(srcSize);
        if (acmStreamSize(Stream, SrcSize, DstSize, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR || DstSize == 0 ||
            DstSize > kMaxBlock)
            Fail("Can't recommend an acm stream size.");
        SrcBuffer.assign(SrcSize, 0);
        DstBuffer.assign(DstSize, 0);
        Header = ACMSTREAMHEADER();
        Header.cbStruct = kAcmStreamHeaderSize;
        Header.pbSrc = SrcBuffer.data();
        Header.cbSrcLength = SrcSize;
        Header.dwSrcUser = SrcSize;
        Header.pbDst = DstBuffer.data();
        Header.cbDstLength = DstSize;
        Header.dwDstUser = DstSize;
        if (acmStreamPrepareHeader(Stream, &Header, 0) != MMSYSERR_NOERROR) Fail("Can't prepare headers.");
        const std::uint64_t estimate = static_cast<std::uint64_t>(Source.DataSize) * DstSize / SrcSize;
        PCMSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(estimate, std::numeric_limits<std::uint32_t>::max()));
    } catch (...) {
        Release();
        throw;
    }
}

TWavePCMReader::~TWavePCMReader() { Release(); }

void TWavePCMReader::Release() noexcept {
    if (!Stream) return;
    if (Header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) {
        Header.cbSrcLength = SrcSize;
        Header.cbDstLength = DstSize;
        acmStreamUnprepareHeader(Stream, &Header, 0);
    }
    acmStreamClose(Stream, 0);
    Stream = nullptr;
}

std::uint32_t TWavePCMReader::Convert(std::int32_t& sourceBytes) {
    sourceBytes = Source.Read(SrcBuffer.data(), static_cast<std::int32_t>(SrcSize));
    Header.cbSrcLength = static_cast<std::uint32_t>(sourceBytes);
    Header.cbDstLength = DstSize;
    std::uint32_t flags = static_cast<std::uint32_t>(sourceBytes) == SrcSize ? ACM_STREAMCONVERTF_BLOCKALIGN : 0;
    if (FirstBlock) {
        flags |= ACM_STREAMCONVERTF_START;
        FirstBlock = false;
    }
    if (acmStreamConvert(Stream, &Header, flags) != MMSYSERR_NOERROR) Fail("Unable to convert sample.");
    DstStart += DstCount;
    DstCount = std::min(Header.cbDstLengthUsed, DstSize);
    return DstCount;
}

std::int32_t TWavePCMReader::Read(void* buffer, std::int32_t count) {
    const std::uint32_t align = FPCMFormat.Fmt.nBlockAlign ? FPCMFormat.Fmt.nBlockAlign : 1;
    if (count <= 0) return 0;
    const auto n = static_cast<std::uint32_t>(count) - static_cast<std::uint32_t>(count) % align;
    if (n == 0) return 0;
    if (!Stream) {
        const std::int32_t got = Source.Read(buffer, static_cast<std::int32_t>(n));
        Position += static_cast<std::uint32_t>(got);
        return got;
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint32_t done = 0;
    if (Position >= DstStart && Position < DstStart + DstCount) {
        const std::uint32_t k = std::min(n, DstStart + DstCount - Position);
        std::memcpy(out, DstBuffer.data() + (Position - DstStart), k);
        done = k;
    }
    while (done < n) {
        std::int32_t sourceBytes = 0;
        const std::uint32_t made = Convert(sourceBytes);
        if (made == 0) {
            // A block can give nothing yet (a tag, a frame cut in two); only
            // nothing from no more source is the end.
            if (sourceBytes == 0) break;
            continue;
        }
        const std::uint32_t k = std::min(made, n - done);
        std::memcpy(out + done, DstBuffer.data(), k);
        done += k;
    }
    Position += done;
    return static_cast<std::int32_t>(done);
}

void TWavePCMReader::Rewind() {
    Source.Rewind();
    Position = 0;
    DstStart = 0;
    DstCount = 0;
    FirstBlock = true;
}

}  // namespace qv
