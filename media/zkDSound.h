// The game's sound device and its sounds, on our DirectSound-shaped layer
// (platform/audio).
//
// TzkDSound is the one sound object of a game window. A failure while it
// sets the device up never raises: it marks the object SoundUnavailable and
// every sound made on it stays silent. It owns every TzkDSoundFile made on
// it (they register themselves and are freed by its destructor, last made
// first), loads the codec driver for compressed WAVE data and writes PCM
// WAV files.
//
// TzkDSoundFile is one sound: a short one decoded whole into a static
// buffer (which can be duplicated, sharing its memory), a long one played
// from a one-second ring refilled by Service. A sound whose set-up failed
// keeps its State and does nothing at all. Lost buffers are restored and
// refilled on the next Play.
//
// Main thread only; the mixer runs on the audio thread behind the layer.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "foundation/Exceptions.h"
#include "media/ThdTimer.h"
#include "media/WaveRead.h"
#include "platform/audio/DirectSound.h"
#include "platform/codec/Acm.h"

namespace qv {

// A failed call of the sound layer; ErrorCode is the layer's result.
class EDirectXError : public ECodedError {
public:
    EDirectXError(const std::string& message, std::int32_t code)
        : ECodedError(message, static_cast<std::uint32_t>(code)) {}
    std::int32_t ErrorCode() const { return static_cast<std::int32_t>(Code()); }
};

// A lost buffer ("Buffer Lost"): a silent abort that the sounds catch and
// answer by restoring the buffer.
class EDirectXBufferLostError : public Exception {
public:
    EDirectXBufferLostError() : Exception("Buffer Lost") {}
};

inline constexpr std::uint32_t kDSErrNotInstalled = 0x81010001u;
inline constexpr std::uint32_t kDSErrCreate = 0x81010002u;
inline constexpr std::uint32_t kDSErrCooperativeLevel = 0x81010003u;
inline constexpr std::uint32_t kDSErrLoadCodec = 0x81010004u;
inline constexpr std::uint32_t kDSErrCodecProc = 0x81010005u;
inline constexpr std::uint32_t kDSErrAddDriver = 0x81010006u;
inline constexpr std::uint32_t kDSErrOpenDriver = 0x81010007u;
inline constexpr std::uint32_t kDSErrCloseDriver = 0x81010008u;
inline constexpr std::uint32_t kDSErrRemoveDriver = 0x81010009u;

// The text of an own code; "Unrecognized Error" for any other.
std::string DSoundErrorText(std::uint32_t ownCode);

// Nothing for a success. A lost buffer logs "Sound buffer lost" (info) and
// raises EDirectXBufferLostError. Any other failure is logged as a code line
// and raised as EDirectXError: with own code 0 the layer's text + " " +
// context under the result; otherwise "D3D $XXXXXXXX: " + the layer's text +
// " - " + the own text + " " + context under the own code, raising the own
// text.
void DSCheck(audio::HRESULT result, std::uint32_t ownCode, const std::string& context);

// PCM, stereo, 44100 Hz, 16 bits.
codec::WAVEFORMATEX DefaultPrimaryFormat();

class TzkDSoundFile;

class TzkDSound {
public:
    // `window` is stored by the layer only. Without `backend` the device
    // plays through SDL2 audio.
    TzkDSound(void* window, std::uint32_t cooperativeLevel, const codec::WAVEFORMATEX* primaryFormat = nullptr,
              std::unique_ptr<audio::IAudioBackend> backend = nullptr);
    ~TzkDSound();
    TzkDSound(const TzkDSound&) = delete;
    TzkDSound& operator=(const TzkDSound&) = delete;

    // Loads the codec file at `path` and opens its driver; unloads a driver
    // loaded before. Failures raise (logged) with the own codes 4 to 7.
    void LoadACMDriver(const std::string& path);
    void UnloadACMDriver();

    // Decodes `source` to PCM and writes it as a WAV file.
    void ConvertToPCMFile(TWaveReadStream& source, const std::string& fileName);
    // The same onto an open multimedia file handle, which it closes.
    void ConvertToPCM(TWaveReadStream& source, codec::TMmio& target);

    // Services every playing streamed sound once.
    void ResumeStreams();

    std::shared_ptr<audio::TDirectSound> DirectSound;
    std::shared_ptr<audio::TDirectSoundBuffer> PrimaryBuffer;
    std::vector<TzkDSoundFile*> Sounds;  // owned; freed last to first
    bool SoundUnavailable = true;
    std::unique_ptr<TThreadedTimer> ServiceTimer;
    std::string CodecPath;
    codec::HCODECMODULE CodecModule = nullptr;
    codec::HACMDRIVER CodecDriver = nullptr;
    codec::HACMDRIVERID CodecDriverId = nullptr;
};

// Sound states.
inline constexpr std::uint8_t kSoundReady = 0;
inline constexpr std::uint8_t kSoundDecodeFailed = 1;
inline constexpr std::uint8_t kSoundSourceFailed = 2;
inline constexpr std::uint8_t kSoundUnavailable = 3;

// Buffer kinds.
inline constexpr std::uint8_t kBufferStreamed = 0;
inline constexpr std::uint8_t kBufferStaticSoftware = 1;
inline constexpr std::uint8_t kBufferStatic = 2;
inline constexpr std::uint8_t kBufferStaticHardware = 3;
inline constexpr std::uint8_t kBufferAutomatic = 4;

// Source kinds.
inline constexpr std::uint8_t kSourceFile = 0;
inline constexpr std::uint8_t kSourceStream = 2;

// The secondary buffer flags of a kind (0 to 3).
std::uint32_t BufferFlagsOfKind(std::uint8_t kind);

class TzkDSoundFile {
public:
    // A sound from a WAVE file (its extension becomes ".wav"). The sound
    // belongs to `owner`.
    static TzkDSoundFile* CreateFromFile(TzkDSound& owner, std::uint32_t thresholdMs, std::uint8_t kind,
                                         const std::string& fileName);
    // A sound from the bytes of a stream, from its position to its end; the
    // sound keeps its own copy. Kind 0 raises "Can't use a stream source for
    // a streamed sound".
    static TzkDSoundFile* CreateFromStream(TzkDSound& owner, std::uint32_t thresholdMs, std::uint8_t kind,
                                           std::span<const std::uint8_t> stream, const std::string& name);
    // A second voice of a static sound on the same memory. A streamed model
    // raises "Can't duplicate a streaming buffer" (logged).
    static TzkDSoundFile* CreateDuplicate(TzkDSoundFile& model);

    // Unregisters from the owner.
    ~TzkDSoundFile();
    TzkDSoundFile(const TzkDSoundFile&) = delete;
    TzkDSoundFile& operator=(const TzkDSoundFile&) = delete;

    void Play();
    void Pause();
    void Stop();
    // Hundredths of a decibel: 0 full, -10000 silent.
    void SetVolume(std::int32_t volume);
    void SetPosition(std::uint32_t position);
    // Refills the part of the ring played since the last refill, at most
    // every 50 ms (initial: the whole ring from the start of the data).
    void Service(bool initial = false);
    // True when the buffer is usable afterwards.
    bool Restore();
    // True while the buffer is still lost.
    bool CheckLost();

    bool IsStatic() const { return Kind != kBufferStreamed; }

    std::shared_ptr<audio::TDirectSoundBuffer> Buffer;
    TzkDSound* Owner = nullptr;
    std::string Name;
    std::string ErrorText;
    std::uint32_t BufferSize = 0;
    std::uint32_t WritePos = 0;
    std::uint32_t EndPos = 0;   // ring offset where the silence after the data begins
    std::uint32_t EndMark = 0;  // ring offset where the silence written so far ends
    std::uint32_t LastService = 0;
    std::uint8_t State = kSoundReady;
    bool Lost = false;
    bool DataEnded = false;
    bool Looping = false;
    bool Playing = false;
    bool Paused = false;
    bool Prepared = false;
    std::uint8_t Kind = kBufferStatic;
    std::unique_ptr<TWaveReadStream> Source;
    std::unique_ptr<TWavePCMReader> Reader;
    std::uint8_t SourceKind = kSourceFile;
    std::string FileName;
    // The stream source's bytes, shared with duplicates, so that a reload
    // after a loss never depends on the caller's stream.
    std::shared_ptr<const std::vector<std::uint8_t>> Stream;
    codec::WAVEFORMATEX Format;

private:
    explicit TzkDSoundFile(TzkDSound& owner);
    void Setup(std::uint32_t thresholdMs, std::uint8_t kind);
    void OpenSource();
    void Prepare();
    void Reload();
    void Fill(std::uint8_t* region, std::uint32_t length);
    bool CursorInSilence(std::uint32_t cursor) const;
    void Register();
};

}  // namespace qv
