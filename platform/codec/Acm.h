// Compressed-audio conversion in the shape of the audio compression
// manager: codec drivers are added from a codec file and opened, formats
// suggested, conversion streams opened and fed through prepared headers.
//
// One decoder is built in: MPEG Layer-3 WAVE data (tag 0x55) to 16-bit PCM
// of the same rate and channel count. It is reachable with no driver at
// all (the manager chooses among every driver it knows) and through the
// driver that the program's codec file names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/codec/Mmio.h"
#include "platform/codec/WaveFormat.h"

namespace qv::codec {

inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
inline constexpr MMRESULT ACMERR_BUSY = 513;
inline constexpr MMRESULT ACMERR_UNPREPARED = 514;

inline constexpr std::uint32_t ACM_METRIC_MAX_SIZE_FORMAT = 50;
inline constexpr std::uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
inline constexpr std::uint32_t ACM_STREAMSIZEF_SOURCE = 0x00000000;
inline constexpr std::uint32_t ACM_STREAMSIZEF_DESTINATION = 0x00000001;
inline constexpr std::uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
inline constexpr std::uint32_t ACM_STREAMCONVERTF_START = 0x00000010;
inline constexpr std::uint32_t ACM_STREAMCONVERTF_END = 0x00000020;
inline constexpr std::uint32_t ACM_DRIVERADDF_LOCAL = 0x00000000;
inline constexpr std::uint32_t ACM_DRIVERADDF_FUNCTION = 0x00000003;
inline constexpr std::uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
inline constexpr std::uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

// The stored size of a stream header; cbStruct must say so.
inline constexpr std::uint32_t kAcmStreamHeaderSize = 84;

struct ACMSTREAMHEADER {
    std::uint32_t cbStruct = kAcmStreamHeaderSize;
    std::uint32_t fdwStatus = 0;
    std::uintptr_t dwUser = 0;
    std::uint8_t* pbSrc = nullptr;
    std::uint32_t cbSrcLength = 0;
    std::uint32_t cbSrcLengthUsed = 0;
    std::uintptr_t dwSrcUser = 0;
    std::uint8_t* pbDst = nullptr;
    std::uint32_t cbDstLength = 0;
    std::uint32_t cbDstLengthUsed = 0;
    std::uintptr_t dwDstUser = 0;
    // Kept by the manager from preparing to unpreparing.
    std::uint32_t cbPreparedSrcLength = 0;
    std::uint32_t cbPreparedDstLength = 0;
};

struct TCodecModule;
struct TAcmDriverEntry;
struct TAcmDriverId;
struct TAcmDriver;
struct TAcmStream;
using HCODECMODULE = TCodecModule*;
using ACMDRIVERPROC = const TAcmDriverEntry*;
using HACMDRIVERID = TAcmDriverId*;
using HACMDRIVER = TAcmDriver*;
using HACMSTREAM = TAcmStream*;

// ---- the codec file --------------------------------------------------------

// The contents of the codec file the program installs in its shared
// folder: a short text naming the built-in driver entry "DriverProc".
std::string CodecDescriptor();
// Loads a codec file; null when it is missing or is not a codec file.
HCODECMODULE LoadCodecModule(const std::string& path);
// The named entry of a loaded codec file, or null.
ACMDRIVERPROC GetCodecProc(HCODECMODULE module, const std::string& name);
void FreeCodecModule(HCODECMODULE module);

// ---- drivers ---------------------------------------------------------------

MMRESULT acmDriverAdd(HACMDRIVERID* id, HCODECMODULE module, ACMDRIVERPROC proc, std::uint32_t priority,
                      std::uint32_t flags);
MMRESULT acmDriverOpen(HACMDRIVER* driver, HACMDRIVERID id, std::uint32_t flags);
MMRESULT acmDriverClose(HACMDRIVER driver, std::uint32_t flags);
MMRESULT acmDriverRemove(HACMDRIVERID id, std::uint32_t flags);

// How often drivers were added, removed, opened and closed in this process.
struct TAcmDriverCounts {
    int Added = 0;
    int Removed = 0;
    int Opened = 0;
    int Closed = 0;
};
TAcmDriverCounts AcmDriverCounts();

// ---- formats and streams ---------------------------------------------------

// `driver` may be null: every driver is asked.
MMRESULT acmMetrics(HACMDRIVER driver, std::uint32_t metric, std::uint32_t& value);
// With ACM_FORMATSUGGESTF_WFORMATTAG, dst.Fmt.wFormatTag names the wanted
// tag; dst is filled in. `dstSize` is the room the caller has for it.
MMRESULT acmFormatSuggest(HACMDRIVER driver, const TWaveFormat& src, TWaveFormat& dst, std::uint32_t dstSize,
                          std::uint32_t flags);
MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const TWaveFormat& src, const TWaveFormat& dst,
                       const void* filter, std::uintptr_t callback, std::uintptr_t instance, std::uint32_t flags);
// ACM_STREAMSIZEF_SOURCE: the most output `input` source bytes can give;
// ACM_STREAMSIZEF_DESTINATION: the source bytes that fill `input` output bytes.
MMRESULT acmStreamSize(HACMSTREAM stream, std::uint32_t input, std::uint32_t& output, std::uint32_t flags);
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags);
// Converts header->cbSrcLength bytes. Output that does not fit the
// destination is kept and comes first on the next call, also on a call
// with no source bytes; ACM_STREAMCONVERTF_START starts a new stream.
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags);
MMRESULT acmStreamClose(HACMSTREAM stream, std::uint32_t flags);

}  // namespace qv::codec
