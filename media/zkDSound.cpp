#include "media/zkDSound.h"

#include "platform/system/FileCore.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <limits>

#include "foundation/qv3Log.h"
#include "media/zkResultCheck.h"
#include "platform/system/Clock.h"

namespace qv {

using namespace audio;

namespace {

constexpr codec::FOURCC kWave = codec::MakeFourCC('W', 'A', 'V', 'E');
constexpr codec::FOURCC kFmt = codec::MakeFourCC('f', 'm', 't', ' ');
constexpr codec::FOURCC kData = codec::MakeFourCC('d', 'a', 't', 'a');

// Streamed sounds refill at most this often.
constexpr std::uint32_t kServiceIntervalMs = 50;
constexpr std::uint32_t kServiceTimerMs = 250;
// Static sounds are read in pieces of this size.
constexpr std::int32_t kReadPiece = 64 * 1024;

std::uint32_t Now() { return sys::SystemClock().GetTickCount(); }

std::string ReplaceExtension(const std::string& path, const std::string& ext) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return path.substr(0, dot) + ext;
    return path + ext;
}

// The base name without folder and extension, in lower case.
std::string SoundName(const std::string& path) {
    std::string base = path;
    const std::size_t slash = base.find_last_of("/\\");
    if (slash != std::string::npos) base = base.substr(slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos) base = base.substr(0, dot);
    for (char& c : base)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return base;
}

// Keeps the first error of a sequence of steps that must all run.
class TFirstError {
public:
    template <typename F>
    void Run(F&& step) {
        try {
            step();
        } catch (...) {
            if (!error_) error_ = std::current_exception();
        }
    }
    void Rethrow() const {
        if (error_) std::rethrow_exception(error_);
    }

private:
    std::exception_ptr error_;
};

}  // namespace

// ---- errors ----------------------------------------------------------------

std::string DSoundErrorText(std::uint32_t ownCode) {
    switch (ownCode) {
        case kDSErrNotInstalled: return "Directsound is not properly installed! Cannot play any sound.";
        case kDSErrCreate: return "Failed to create DirectSound";
        case kDSErrCooperativeLevel: return "Failed to set cooperative level.";
        case kDSErrLoadCodec: return "Error loading ACM driver library";
        case kDSErrCodecProc: return "Could not get ACM driver procedure address";
        case kDSErrAddDriver: return "Error adding ACM driver";
        case kDSErrOpenDriver: return "Error opening ACM driver";
        case kDSErrCloseDriver: return "Error closing ACM driver";
        case kDSErrRemoveDriver: return "Error removing ACM driver";
        default: return "Unrecognized Error";
    }
}

void DSCheck(HRESULT result, std::uint32_t ownCode, const std::string& context) {
    if (!Failed(result)) return;
    if (result == DSERR_BUFFERLOST) {
        LogMessage("Sound buffer lost", lkInfo);
        throw EDirectXBufferLostError();
    }
    RaiseFailedResult("D3D", static_cast<std::uint32_t>(result), DirectSoundErrorText(result), ownCode,
                      DSoundErrorText, context, [result](const std::string& text) { throw EDirectXError(text, result); });
}

codec::WAVEFORMATEX DefaultPrimaryFormat() { return codec::MakePcmFormat(2, 44100, 16).Fmt; }

std::uint32_t BufferFlagsOfKind(std::uint8_t kind) {
    constexpr std::uint32_t streamed =
        DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY;
    switch (kind) {
        case kBufferStreamed: return streamed;
        case kBufferStaticSoftware: return streamed | DSBCAPS_STATIC | DSBCAPS_LOCSOFTWARE;
        case kBufferStatic: return streamed | DSBCAPS_STATIC;
        case kBufferStaticHardware: return streamed | DSBCAPS_STATIC | DSBCAPS_LOCHARDWARE;
        default: throw Exception("Invalid sound buffer kind " + std::to_string(kind));
    }
}

// ---- TzkDSound -------------------------------------------------------------

TzkDSound::TzkDSound(void* window, std::uint32_t cooperativeLevel, const codec::WAVEFORMATEX* primaryFormat,
                     std::unique_ptr<IAudioBackend> backend) {
    try {
        DSCheck(DirectSoundCreate8(DirectSound, std::move(backend)), 0, "DirectSoundCreate8");
        DSCheck(DirectSound->SetCooperativeLevel(window, cooperativeLevel), 0, "SetCooperativeLevel");
        DSBUFFERDESC desc;
        desc.dwSize = kDSBufferDescSize;
        desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
        DSCheck(DirectSound->CreateSoundBuffer(desc, PrimaryBuffer), 0, "CreateSoundBuffer");
        if (cooperativeLevel != DSSCL_NORMAL) {
            const codec::WAVEFORMATEX format = primaryFormat ? *primaryFormat : DefaultPrimaryFormat();
            DSCheck(PrimaryBuffer->SetFormat(format), 0, "SetFormat");
        }
        SoundUnavailable = false;
        ServiceTimer = std::make_unique<TThreadedTimer>();
        ServiceTimer->SetInterval(kServiceTimerMs);
        ServiceTimer->OnTimer = [this](TThreadedTimer&) { ResumeStreams(); };
    } catch (const std::exception&) {
        SoundUnavailable = true;
        ServiceTimer.reset();
        PrimaryBuffer.reset();
        DirectSound.reset();
    }
}

TzkDSound::~TzkDSound() {
    ServiceTimer.reset();
    while (!Sounds.empty()) delete Sounds.back();
    PrimaryBuffer.reset();
    DirectSound.reset();
    try {
        UnloadACMDriver();
    } catch (...) {
    }
}

void TzkDSound::LoadACMDriver(const std::string& path) {
    UnloadACMDriver();
    CodecPath = path;
    CodecModule = codec::LoadCodecModule(path);
    if (!CodecModule) RaiseLoggedError(DSoundErrorText(kDSErrLoadCodec), kDSErrLoadCodec);
    const codec::ACMDRIVERPROC proc = codec::GetCodecProc(CodecModule, "DriverProc");
    if (!proc) RaiseLoggedError(DSoundErrorText(kDSErrCodecProc), kDSErrCodecProc);
    if (codec::acmDriverAdd(&CodecDriverId, CodecModule, proc, 0,
                            codec::ACM_DRIVERADDF_FUNCTION | codec::ACM_DRIVERADDF_LOCAL) != codec::MMSYSERR_NOERROR)
        RaiseLoggedError(DSoundErrorText(kDSErrAddDriver), kDSErrAddDriver);
    if (codec::acmDriverOpen(&CodecDriver, CodecDriverId, 0) != codec::MMSYSERR_NOERROR)
        RaiseLoggedError(DSoundErrorText(kDSErrOpenDriver), kDSErrOpenDriver);
}

void TzkDSound::UnloadACMDriver() {
    // Everything is released; the first failure is reported afterwards.
    std::uint32_t failed = 0;
    if (CodecDriver) {
        if (codec::acmDriverClose(CodecDriver, 0) != codec::MMSYSERR_NOERROR) failed = kDSErrCloseDriver;
        CodecDriver = nullptr;
    }
    if (CodecDriverId) {
        if (codec::acmDriverRemove(CodecDriverId, 0) != codec::MMSYSERR_NOERROR && !failed) failed = kDSErrRemoveDriver;
        CodecDriverId = nullptr;
    }
    if (CodecModule) {
        codec::FreeCodecModule(CodecModule);
        CodecModule = nullptr;
    }
    if (failed) RaiseLoggedError(DSoundErrorText(failed), failed);
}

void TzkDSound::ConvertToPCMFile(TWaveReadStream& source, const std::string& fileName) {
    // A new file beside the target, renamed over it only once complete: a
    // failed conversion leaves the old file (or none), never a cut-off one.
    sys::TReplacementFile file(fileName);
    std::unique_ptr<codec::TFileStorage> storage;
    if (file.Create()) storage = codec::TFileStorage::FromDescriptor(file.Fd(), "w+b");
    if (!storage) {
        TWavePCMReader reader(source, CodecDriver);
        RaiseLoggedError("Error creating chunk wave.");
    }
    codec::TMmio target(std::move(storage));
    ConvertToPCM(source, target);
    std::string error;
    if (!file.Commit(&error)) RaiseLoggedError(error);
}

void TzkDSound::ConvertToPCM(TWaveReadStream& source, codec::TMmio& target) {
    TFirstError first;
    std::unique_ptr<TWavePCMReader> reader;
    codec::MMCKINFO riff, fmt, data;
    bool riffMade = false, dataMade = false;
    first.Run([&] {
        reader = std::make_unique<TWavePCMReader>(source, CodecDriver);
        riff.fccType = kWave;
        if (target.CreateChunk(riff, codec::MMIO_CREATERIFF) != codec::MMSYSERR_NOERROR)
            RaiseLoggedError("Error creating chunk wave.");
        riffMade = true;
        const std::vector<std::uint8_t> record = reader->PCMFormat().ToBytes();
        fmt.ckid = kFmt;
        fmt.cksize = static_cast<std::uint32_t>(record.size());
        if (target.CreateChunk(fmt, 0) != codec::MMSYSERR_NOERROR) RaiseLoggedError("Error creating chunk fmt.");
        const auto n = static_cast<std::int32_t>(record.size());
        if (target.Write(record.data(), n) != n) RaiseLoggedError("Error writing wave format.");
        if (target.Ascend(fmt) != codec::MMSYSERR_NOERROR) RaiseLoggedError("Cannot ascend chunk.");
        data.ckid = kData;
        data.cksize = 0;
        if (target.CreateChunk(data, 0) != codec::MMSYSERR_NOERROR) RaiseLoggedError("Error creating chunk.");
        dataMade = true;
        std::vector<std::uint8_t> block(4096);
        for (;;) {
            const std::int32_t got = reader->Read(block.data(), static_cast<std::int32_t>(block.size()));
            if (got <= 0) break;
            if (target.Write(block.data(), got) == -1) RaiseLoggedError("Error writing PCM data");
        }
    });
    // The chunks are closed with sizes that match what was written, also
    // after a failure.
    target.Seek(0, SEEK_END);
    if (dataMade)
        first.Run([&] {
            if (target.Ascend(data) != codec::MMSYSERR_NOERROR) RaiseLoggedError("Cannot ascend chunk.");
        });
    if (riffMade)
        first.Run([&] {
            if (target.Ascend(riff) != codec::MMSYSERR_NOERROR) RaiseLoggedError("Cannot ascend chunk.");
        });
    first.Run([&] {
        if (target.Flush() != codec::MMSYSERR_NOERROR) RaiseLoggedError("Cannot flush.");
    });
    target.Close();
    reader.reset();
    first.Rethrow();
}

void TzkDSound::ResumeStreams() {
    for (std::size_t i = 0; i < Sounds.size(); ++i) {
        TzkDSoundFile* s = Sounds[i];
        if (s->Kind == kBufferStreamed && s->Playing) s->Service();
    }
}

// ---- TzkDSoundFile: creation -----------------------------------------------

TzkDSoundFile::TzkDSoundFile(TzkDSound& owner) : Owner(&owner) {}

TzkDSoundFile* TzkDSoundFile::CreateFromFile(TzkDSound& owner, std::uint32_t thresholdMs, std::uint8_t kind,
                                             const std::string& fileName) {
    auto* s = new TzkDSoundFile(owner);
    s->Name = SoundName(fileName);
    s->SourceKind = kSourceFile;
    s->FileName = fileName.substr(0, 2000);
    s->Setup(thresholdMs, kind);
    return s;
}

TzkDSoundFile* TzkDSoundFile::CreateFromStream(TzkDSound& owner, std::uint32_t thresholdMs, std::uint8_t kind,
                                               std::span<const std::uint8_t> stream, const std::string& name) {
    if (kind == kBufferStreamed) throw Exception("Can't use a stream source for a streamed sound");
    auto* s = new TzkDSoundFile(owner);
    s->Name = SoundName(name);
    s->SourceKind = kSourceStream;
    try {
        s->Stream = std::make_shared<const std::vector<std::uint8_t>>(stream.begin(), stream.end());
    } catch (...) {
        delete s;
        throw;
    }
    s->Setup(thresholdMs, kind);
    return s;
}

TzkDSoundFile* TzkDSoundFile::CreateDuplicate(TzkDSoundFile& model) {
    if (model.Kind == kBufferStreamed) RaiseLoggedError("Can't duplicate a streaming buffer");
    auto* s = new TzkDSoundFile(*model.Owner);
    s->BufferSize = model.BufferSize;
    s->State = model.State;
    s->Name = model.Name;
    s->Lost = model.Lost;
    s->Kind = model.Kind;
    s->SourceKind = model.SourceKind;
    s->FileName = model.FileName;
    s->Stream = model.Stream;
    s->Format = model.Format;
    if (s->State == kSoundReady) {
        try {
            DSCheck(s->Owner->DirectSound->DuplicateSoundBuffer(model.Buffer, s->Buffer), 0, "DuplicateSoundBuffer");
        } catch (const std::exception& e) {
            s->State = kSoundSourceFailed;
            s->ErrorText = e.what();
            s->Buffer.reset();
        }
    }
    s->Register();
    return s;
}

void TzkDSoundFile::Register() { Owner->Sounds.push_back(this); }

TzkDSoundFile::~TzkDSoundFile() {
    Buffer.reset();
    auto& list = Owner->Sounds;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    Reader.reset();
    Source.reset();
}

void TzkDSoundFile::OpenSource() {
    Reader.reset();
    Source.reset();
    if (SourceKind == kSourceStream)
        Source = std::make_unique<TStreamWaveReadStream>(std::span<const std::uint8_t>(*Stream));
    else
        Source = std::make_unique<TFileWaveReadStream>(ReplaceExtension(FileName, ".wav"));
}

void TzkDSoundFile::Setup(std::uint32_t thresholdMs, std::uint8_t kind) {
    Kind = kind;
    if (Owner->SoundUnavailable) State = kSoundUnavailable;
    if (State == kSoundReady) {
        try {
            OpenSource();
        } catch (const std::exception& e) {
            State = kSoundSourceFailed;
            ErrorText = e.what();
        }
    }
    if (State == kSoundReady) {
        try {
            Reader = std::make_unique<TWavePCMReader>(*Source, Owner->CodecDriver);
        } catch (const std::exception& e) {
            State = kSoundDecodeFailed;
            ErrorText = e.what();
        }
    }
    if (State == kSoundReady) {
        try {
            const codec::WAVEFORMATEX& pcm = Reader->PCMFormat().Fmt;
            if (Kind == kBufferAutomatic) {
                const std::uint64_t duration = static_cast<std::uint64_t>(Reader->PCMSize) * 1000 / pcm.nAvgBytesPerSec;
                Kind = duration > thresholdMs ? kBufferStreamed : kBufferStatic;
            }
            Format = pcm;
            DSBUFFERDESC desc;
            desc.dwSize = kDSBufferDescSize;
            desc.dwFlags = BufferFlagsOfKind(Kind);
            desc.lpwfxFormat = &Format;
            if (IsStatic()) {
                // The decoded size is only an estimate for compressed data:
                // read until the reader has no more.
                std::vector<std::uint8_t> data;
                data.reserve(std::min<std::uint32_t>(Reader->PCMSize, 16u * 1024u * 1024u));
                std::vector<std::uint8_t> piece(kReadPiece);
                for (;;) {
                    const std::int32_t got = Reader->Read(piece.data(), kReadPiece);
                    if (got <= 0) break;
                    if (data.size() + static_cast<std::size_t>(got) > DSBSIZE_MAX) throw Exception("Sound data too large");
                    data.insert(data.end(), piece.begin(), piece.begin() + got);
                }
                BufferSize = static_cast<std::uint32_t>(data.size());
                desc.dwBufferBytes = BufferSize;
                DSCheck(Owner->DirectSound->CreateSoundBuffer(desc, Buffer), 0, "CreateSoundBuffer");
                void* p1 = nullptr;
                void* p2 = nullptr;
                std::uint32_t n1 = 0, n2 = 0;
                DSCheck(Buffer->Lock(0, BufferSize, &p1, &n1, &p2, &n2, 0), 0, "Lock");
                std::memcpy(p1, data.data(), n1);
                if (n2) std::memcpy(p2, data.data() + n1, n2);
                DSCheck(Buffer->Unlock(p1, n1, p2, n2), 0, "Unlock");
            } else {
                const std::uint64_t ring =
                    static_cast<std::uint64_t>(pcm.nSamplesPerSec) * pcm.nChannels * (pcm.wBitsPerSample / 8) * 1000 / 1000;
                BufferSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(ring, DSBSIZE_MAX + 1ull));
                desc.dwBufferBytes = BufferSize;
                DSCheck(Owner->DirectSound->CreateSoundBuffer(desc, Buffer), 0, "CreateSoundBuffer");
                Prepare();
            }
        } catch (const std::exception& e) {
            State = kSoundSourceFailed;
            ErrorText = e.what();
            Buffer.reset();
        }
    }
    Register();
    if (IsStatic()) {
        Reader.reset();
        Source.reset();
    }
    if (State == kSoundDecodeFailed || State == kSoundSourceFailed)
        LogMessage("Error in sound \"" + Name + "\": " + ErrorText, lkWarning);
}

// ---- TzkDSoundFile: streaming ----------------------------------------------

void TzkDSoundFile::Prepare() {
    if (Prepared) return;
    Paused = false;
    WritePos = 0;
    EndPos = 0;
    EndMark = 0;
    DataEnded = false;
    Service(true);
    DSCheck(Buffer->SetCurrentPosition(0), 0, "SetCurrentPosition");
}

void TzkDSoundFile::Service(bool initial) {
    if (State != kSoundReady || !Buffer || !Reader) return;
    try {
        std::uint32_t amount = 0;
        if (initial) {
            Reader->Rewind();
            amount = BufferSize;
            Prepared = true;
        } else {
            const std::uint32_t now = Now();
            if (now - LastService < kServiceIntervalMs) return;
            LastService = now;
            std::uint32_t play = 0;
            DSCheck(Buffer->GetCurrentPosition(&play, nullptr), 0, "GetCurrentPosition");
            amount = WritePos <= play ? play - WritePos : BufferSize + play - WritePos;
            if (amount == 0) return;
            if (DataEnded && CursorInSilence(play)) {
                Stop();
                return;
            }
        }
        void* p1 = nullptr;
        void* p2 = nullptr;
        std::uint32_t n1 = 0, n2 = 0;
        DSCheck(Buffer->Lock(WritePos, amount, &p1, &n1, &p2, &n2, 0), 0, "Lock");
        Fill(static_cast<std::uint8_t*>(p1), n1);
        if (p2 && n2) Fill(static_cast<std::uint8_t*>(p2), n2);
        DSCheck(Buffer->Unlock(p1, n1, p2, n2), 0, "Unlock");
    } catch (const EDirectXBufferLostError&) {
        Lost = true;
    }
}

void TzkDSoundFile::Fill(std::uint8_t* region, std::uint32_t length) {
    std::uint32_t filled = 0;
    if (!DataEnded) {
        bool rewound = false;
        for (;;) {
            const std::int32_t got = Reader->Read(region + filled, static_cast<std::int32_t>(length - filled));
            filled += static_cast<std::uint32_t>(std::max(got, 0));
            if (filled >= length || !Looping) break;
            // Nothing right after a rewind: the source has no data at all,
            // so it ends here instead of rewinding for ever.
            if (got <= 0 && rewound) break;
            Reader->Rewind();
            rewound = true;
        }
    }
    if (filled < length) {
        std::memset(region + filled, Format.wBitsPerSample == 8 ? 128 : 0, length - filled);
        if (!DataEnded) {
            DataEnded = true;
            EndPos = (WritePos + filled) % BufferSize;
        }
        EndMark = (WritePos + length) % BufferSize;
    }
    WritePos = (WritePos + length) % BufferSize;
}

bool TzkDSoundFile::CursorInSilence(std::uint32_t cursor) const {
    // Equal marks: the silence has gone all the way round the ring.
    if (EndPos == EndMark) return true;
    if (EndPos < EndMark) return EndPos <= cursor && cursor < EndMark;
    return cursor >= EndPos || cursor < EndMark;
}

// ---- TzkDSoundFile: operations ---------------------------------------------

void TzkDSoundFile::Reload() {
    if (State != kSoundReady || !Buffer) return;
    try {
        OpenSource();
        Reader = std::make_unique<TWavePCMReader>(*Source, Owner->CodecDriver);
        void* p1 = nullptr;
        void* p2 = nullptr;
        std::uint32_t n1 = 0, n2 = 0;
        DSCheck(Buffer->Lock(0, BufferSize, &p1, &n1, &p2, &n2, 0), 0, "Lock");
        std::uint32_t total = 0;
        for (auto [p, n] : {std::pair{static_cast<std::uint8_t*>(p1), n1}, std::pair{static_cast<std::uint8_t*>(p2), n2}}) {
            std::uint32_t done = 0;
            while (p && done < n) {
                const std::int32_t got = Reader->Read(p + done, static_cast<std::int32_t>(n - done));
                if (got <= 0) break;
                done += static_cast<std::uint32_t>(got);
            }
            total += done;
        }
        if (total < BufferSize) LogMessage("Wave data read inferior to requested", lkWarning);
        DSCheck(Buffer->Unlock(p1, n1, p2, n2), 0, "Unlock");
    } catch (const EDirectXBufferLostError&) {
        Lost = true;
    } catch (...) {
        Reader.reset();
        Source.reset();
        throw;
    }
    Reader.reset();
    Source.reset();
}

bool TzkDSoundFile::Restore() {
    Lost = false;
    Paused = false;
    if (State == kSoundReady && Buffer) {
        std::uint32_t status = 0;
        DSCheck(Buffer->GetStatus(status), 0, "GetStatus");
        if (status & DSBSTATUS_BUFFERLOST) {
            try {
                DSCheck(Buffer->Restore(), 0, "Restore");
            } catch (const EDirectXBufferLostError&) {
                Lost = true;
            } catch (const EDirectXError&) {
                Lost = true;
            }
            if (!Lost) {
                if (IsStatic()) {
                    Reload();
                } else {
                    // The restored ring is empty: fill it again from the start.
                    Prepared = false;
                    Prepare();
                }
                if (!Lost && Playing && Looping) Play();
            }
        }
    }
    return !Lost;
}

bool TzkDSoundFile::CheckLost() {
    if (State != kSoundReady || !Buffer) return false;
    if (Lost) {
        Restore();
    } else {
        std::uint32_t status = 0;
        DSCheck(Buffer->GetStatus(status), 0, "GetStatus");
        if (status & DSBSTATUS_BUFFERLOST) Restore();
    }
    return Lost;
}

void TzkDSoundFile::Play() {
    if (CheckLost() || State != kSoundReady || !Buffer) return;
    try {
        if (Paused) {
            DSCheck(Buffer->Play(0, 0, (Looping || Kind == kBufferStreamed) ? DSBPLAY_LOOPING : 0), 0, "Play");
            return;
        }
        LastService = Now();
        if (!Looping && IsStatic()) {
            DSCheck(Buffer->Play(0, 0, 0), 0, "Play");
            return;
        }
        DSCheck(Buffer->Play(0, 0, DSBPLAY_LOOPING), 0, "Play");
        Playing = true;
    } catch (const EDirectXBufferLostError&) {
        Lost = true;
    }
}

void TzkDSoundFile::Pause() {
    if (State != kSoundReady || !Buffer) return;
    std::uint32_t status = 0;
    DSCheck(Buffer->GetStatus(status), 0, "GetStatus");
    if (status & DSBSTATUS_PLAYING) {
        DSCheck(Buffer->Stop(), 0, "Stop");
        Paused = true;
    }
}

void TzkDSoundFile::Stop() {
    Prepared = false;
    Paused = false;
    Playing = false;
    if (State != kSoundReady || !Buffer) return;
    DSCheck(Buffer->Stop(), 0, "Stop");
    DSCheck(Buffer->SetCurrentPosition(0), 0, "SetCurrentPosition");
    if (!IsStatic()) Prepare();
}

void TzkDSoundFile::SetVolume(std::int32_t volume) {
    if (State == kSoundReady && Buffer) DSCheck(Buffer->SetVolume(volume), 0, "SetVolume");
}

void TzkDSoundFile::SetPosition(std::uint32_t position) {
    if (State == kSoundReady && Buffer) DSCheck(Buffer->SetCurrentPosition(position), 0, "SetCurrentPosition");
}

}  // namespace qv
