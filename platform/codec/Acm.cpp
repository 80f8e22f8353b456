#include "platform/codec/Acm.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <mutex>
#include <set>

#include "platform/codec/Converter.h"
#include "platform/system/FileCore.h"

namespace qv::codec {

// A driver the manager can use: what it converts and how.
struct TAcmDriverEntry {
    const char* Name;
};

struct TCodecModule {
    std::string EntryName;  // the value of its "DriverProc" line
};

struct TAcmDriverId {
    HCODECMODULE Module;
    ACMDRIVERPROC Proc;
    int OpenCount = 0;
};

struct TAcmDriver {
    HACMDRIVERID Id;
};

struct TAcmStream {
    std::unique_ptr<IAcmConverter> Converter;
};

namespace {

constexpr TAcmDriverEntry kLayer3Driver{"mpeg-layer-3"};
constexpr const char* kDescriptorMagic = "QuorvexCodec 1";

struct TRegistry {
    std::mutex Lock;
    std::set<const TCodecModule*> Modules;
    std::set<const TAcmDriverId*> Ids;
    std::set<const TAcmDriver*> Drivers;
    std::set<const TAcmStream*> Streams;
    TAcmDriverCounts Counts;
};

TRegistry& Registry() {
    static TRegistry r;
    return r;
}

bool KnownDriver(TRegistry& r, HACMDRIVER driver) { return !driver || r.Drivers.count(driver) != 0; }

// The entries that may serve a request on `driver` (null: all of them).
// Every entry is the built-in decoder today.
bool DriverServesLayer3(HACMDRIVER driver) { return !driver || driver->Id->Proc == &kLayer3Driver; }

std::string TrimLine(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
    std::size_t b = 0;
    while (b < s.size() && (s[b] == ' ' || s[b] == '\t')) ++b;
    return s.substr(b);
}

}  // namespace

std::string CodecDescriptor() {
    return std::string(kDescriptorMagic) + "\r\nDriverProc=" + kLayer3Driver.Name + "\r\n";
}

HCODECMODULE LoadCodecModule(const std::string& path) {
    constexpr std::size_t kMaxDescriptor = 4096;
    // The driver file lies in the machine-wide folder: no link, no FIFO.
    const sys::TReadableFile file = sys::TReadableFile::Open(path, sys::LinkRule::Refuse, kMaxDescriptor);
    if (file.Status() != sys::FileStatus::Ok) return nullptr;
    std::string text(kMaxDescriptor + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(file.Fd(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return nullptr;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    if (text.size() > kMaxDescriptor) return nullptr;
    auto module = std::make_unique<TCodecModule>();
    bool first = true;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t nl = text.find('\n', at);
        if (nl == std::string::npos) nl = text.size();
        const std::string line = TrimLine(text.substr(at, nl - at));
        at = nl + 1;
        if (first) {
            if (line != kDescriptorMagic) return nullptr;
            first = false;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos && TrimLine(line.substr(0, eq)) == "DriverProc")
            module->EntryName = TrimLine(line.substr(eq + 1));
    }
    if (first) return nullptr;
    TRegistry& r = Registry();
    std::lock_guard g(r.Lock);
    r.Modules.insert(module.get());
    return module.release();
}

ACMDRIVERPROC GetCodecProc(HCODECMODULE module, const std::string& name) {
    TRegistry& r = Registry();
    std::lock_guard g(r.Lock);
    if (!module || !r.Modules.count(module) || name != "DriverProc") return nullptr;
    return module->EntryName == kLayer3Driver.Name ? &kLayer3Driver : nullptr;
}

void FreeCodecModule(HCODECMODULE module) {
    TRegistry& r = Registry();
    std::lock_guard g(r.Lock);
    if (module && r.Modules.erase(module)) delete module;
}

MMRESULT acmDriverAdd(HACMDRIVERID* id, HCODECMODULE module, ACMDRIVERPROC proc, std::uint32_t,
                      std::uint32_t flags) {
    if (!id) return MMSYSERR_INVALPARAM;
    *id = nullptr;
    if ((flags & 0x7u) != ACM_DRIVERADDF_FUNCTION) return MMSYSERR_INVALFLAG;
    TRegistry& r = Registry();
    std::lock_guard g(r.Lock);
    if (!module || !r.Modules.count(module) || proc != &kLayer3Driver) return MMSYSERR_INVALPARAM;
    auto* d = new TAcmDriverId{module, proc};
    r.Ids.insert(d);
    ++r.Counts.Added;
    *id = d;
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverOpen(HACMDRIVER* driver, HACMDRIVERID id, std::uint32_t) {
    if (!driver) return MMSYSERR_INVALPARAM;
    *driver = nullptr;
    TRegistry& r = Registry();
    std::lock_guard g(r.Lock);
    if (!id || !r.Ids.count(id)) return MMSYSERR_INVALHANDLE;
    auto* d = new TAcmDriver{id};
    ++id->OpenCount;
    r.Drivers.insert(d);
    ++r.Counts.Opened;
    *driver = d;
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverClose(HACMDRIVER driver, std::uint32_t) {
    TRegistry& r = Registry();
    std::lock_guard g(r.Lock);
    if (!driver || !r.Drivers.erase(driver)) return MMSYSERR_INVALHANDLE;
    --driver->Id->OpenCount;
    delete driver;
    ++r.Counts.Closed;
    return MMSYSERR_NOERROR;
}

MMRESULT acmDriverRemove(HACMDRIVERID id, std::uint32_t) {
    TRegistry& r = Registry();
    std::lock_guard g(r.Lock);
    if (!id || !r.Ids.count(id)) return MMSYSERR_INVALHANDLE;
    if (id->OpenCount > 0) return ACMERR_BUSY;
    r.Ids.erase(id);
    delete id;
    ++r.Counts.Removed;
    return MMSYSERR_NOERROR;
}

TAcmDriverCounts AcmDriverCounts() {
    TRegistry& r = Registry();
    std::lock_guard g(r.Lock);
    return r.Counts;
}

MMRESULT acmMetrics(HACMDRIVER driver, std::uint32_t metric, std::uint32_t& value) {
    TRegistry& r = Registry();
    std::lock_guard g(r.Lock);
    if (!KnownDriver(r, driver)) return MMSYSERR_INVALHANDLE;
    if (metric != ACM_METRIC_MAX_SIZE_FORMAT) return MMSYSERR_NOTSUPPORTED;
    value = kMp3MaxFormatSize;
    return MMSYSERR_NOERROR;
}

MMRESULT acmFormatSuggest(HACMDRIVER driver, const TWaveFormat& src, TWaveFormat& dst, std::uint32_t dstSize,
                          std::uint32_t flags) {
    {
        TRegistry& r = Registry();
        std::lock_guard g(r.Lock);
        if (!KnownDriver(r, driver)) return MMSYSERR_INVALHANDLE;
    }
    if (flags & ~ACM_FORMATSUGGESTF_WFORMATTAG) return MMSYSERR_INVALFLAG;
    if (dstSize < 16) return MMSYSERR_INVALPARAM;
    if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && dst.Fmt.wFormatTag != WAVE_FORMAT_PCM) return ACMERR_NOTPOSSIBLE;
    if (!DriverServesLayer3(driver)) return ACMERR_NOTPOSSIBLE;
    TWaveFormat pcm;
    if (!SuggestPcmForMp3(src, pcm)) return ACMERR_NOTPOSSIBLE;
    dst = pcm;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const TWaveFormat& src, const TWaveFormat& dst,
                       const void* filter, std::uintptr_t callback, std::uintptr_t, std::uint32_t flags) {
    if (!stream) return MMSYSERR_INVALPARAM;
    *stream = nullptr;
    if (filter || callback || flags) return MMSYSERR_NOTSUPPORTED;
    {
        TRegistry& r = Registry();
        std::lock_guard g(r.Lock);
        if (!KnownDriver(r, driver)) return MMSYSERR_INVALHANDLE;
    }
    if (!DriverServesLayer3(driver)) return ACMERR_NOTPOSSIBLE;
    MMRESULT error = MMSYSERR_NOERROR;
    auto conv = CreateMp3Converter(src, dst, error);
    if (!conv) return error;
    auto* s = new TAcmStream{std::move(conv)};
    TRegistry& r = Registry();
    std::lock_guard g(r.Lock);
    r.Streams.insert(s);
    *stream = s;
    return MMSYSERR_NOERROR;
}

namespace {

bool KnownStream(HACMSTREAM stream) {
    TRegistry& r = Registry();
    std::lock_guard g(r.Lock);
    return stream && r.Streams.count(stream) != 0;
}

}  // namespace

MMRESULT acmStreamSize(HACMSTREAM stream, std::uint32_t input, std::uint32_t& output, std::uint32_t flags) {
    if (!KnownStream(stream)) return MMSYSERR_INVALHANDLE;
    return stream->Converter->Size(input, output, flags);
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t) {
    if (!KnownStream(stream)) return MMSYSERR_INVALHANDLE;
    if (!header || header->cbStruct != kAcmStreamHeaderSize || !header->pbSrc || !header->pbDst)
        return MMSYSERR_INVALPARAM;
    header->cbPreparedSrcLength = header->cbSrcLength;
    header->cbPreparedDstLength = header->cbDstLength;
    header->fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t flags) {
    if (!KnownStream(stream)) return MMSYSERR_INVALHANDLE;
    if (!header || header->cbStruct != kAcmStreamHeaderSize) return MMSYSERR_INVALPARAM;
    if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    if (header->cbSrcLength > header->cbPreparedSrcLength || header->cbDstLength > header->cbPreparedDstLength)
        return MMSYSERR_INVALPARAM;
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_DONE;
    const MMRESULT r = stream->Converter->Convert(header->pbSrc, header->cbSrcLength, header->cbSrcLengthUsed,
                                                  header->pbDst, header->cbDstLength, header->cbDstLengthUsed, flags);
    header->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return r;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, std::uint32_t) {
    if (!KnownStream(stream)) return MMSYSERR_INVALHANDLE;
    if (!header || header->cbStruct != kAcmStreamHeaderSize) return MMSYSERR_INVALPARAM;
    if (!(header->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED)) return ACMERR_UNPREPARED;
    if (header->cbSrcLength != header->cbPreparedSrcLength || header->cbDstLength != header->cbPreparedDstLength)
        return MMSYSERR_INVALPARAM;
    header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM stream, std::uint32_t) {
    TRegistry& r = Registry();
    std::unique_lock g(r.Lock);
    if (!stream || !r.Streams.erase(stream)) return MMSYSERR_INVALHANDLE;
    g.unlock();
    delete stream;
    return MMSYSERR_NOERROR;
}

}  // namespace qv::codec
