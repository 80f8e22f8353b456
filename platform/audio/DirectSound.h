// A sound device in the shape of DirectSound 8: a primary buffer that
// carries the output format, secondary buffers of PCM sample memory that
// play once or in a loop at their own volume, and our own mixer that adds
// them up with linear resampling to the output rate.
//
// Every call returns a DirectSound result code. A buffer's memory is a
// ring: Lock hands out up to two regions when the range wraps, to be given
// back with Unlock; the play cursor is the byte the mixer reads next and
// the write cursor lies about 10 ms ahead of it. Buffers can be lost (here
// only through the test hooks); a lost buffer refuses Lock and Play until
// Restore, which gives back zeroed memory.
//
// All calls may come from any thread; the mixer runs on the backend's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/audio/AudioBackend.h"
#include "platform/codec/WaveFormat.h"

namespace qv::audio {

using HRESULT = std::int32_t;
using codec::WAVEFORMATEX;

constexpr HRESULT ResultFromCode(std::uint32_t code) { return static_cast<HRESULT>(code); }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT DS_OK = 0;
inline constexpr HRESULT DSERR_BUFFERLOST = ResultFromCode(0x88780096u);
inline constexpr HRESULT DSERR_INVALIDPARAM = ResultFromCode(0x80070057u);
inline constexpr HRESULT DSERR_OUTOFMEMORY = ResultFromCode(0x8007000Eu);
inline constexpr HRESULT DSERR_NODRIVER = ResultFromCode(0x88780078u);
inline constexpr HRESULT DSERR_INVALIDCALL = ResultFromCode(0x88780032u);
inline constexpr HRESULT DSERR_BADFORMAT = ResultFromCode(0x88780064u);
inline constexpr HRESULT DSERR_CONTROLUNAVAIL = ResultFromCode(0x8878001Eu);
inline constexpr HRESULT DSERR_PRIOLEVELNEEDED = ResultFromCode(0x88780046u);

// Our description of a result code.
std::string DirectSoundErrorText(HRESULT hr);

inline constexpr std::uint32_t DSSCL_NORMAL = 1;
inline constexpr std::uint32_t DSSCL_PRIORITY = 2;
inline constexpr std::uint32_t DSSCL_EXCLUSIVE = 3;
inline constexpr std::uint32_t DSSCL_WRITEPRIMARY = 4;

inline constexpr std::uint32_t DSBCAPS_PRIMARYBUFFER = 0x00000001;
inline constexpr std::uint32_t DSBCAPS_STATIC = 0x00000002;
inline constexpr std::uint32_t DSBCAPS_LOCHARDWARE = 0x00000004;
inline constexpr std::uint32_t DSBCAPS_LOCSOFTWARE = 0x00000008;
inline constexpr std::uint32_t DSBCAPS_CTRLFREQUENCY = 0x00000020;
inline constexpr std::uint32_t DSBCAPS_CTRLPAN = 0x00000040;
inline constexpr std::uint32_t DSBCAPS_CTRLVOLUME = 0x00000080;
inline constexpr std::uint32_t DSBCAPS_GETCURRENTPOSITION2 = 0x00010000;

inline constexpr std::uint32_t DSBPLAY_LOOPING = 0x00000001;
inline constexpr std::uint32_t DSBSTATUS_PLAYING = 0x00000001;
inline constexpr std::uint32_t DSBSTATUS_BUFFERLOST = 0x00000002;
inline constexpr std::uint32_t DSBSTATUS_LOOPING = 0x00000004;
inline constexpr std::uint32_t DSBLOCK_FROMWRITECURSOR = 0x00000001;
inline constexpr std::uint32_t DSBLOCK_ENTIREBUFFER = 0x00000002;

inline constexpr std::int32_t DSBVOLUME_MIN = -10000;
inline constexpr std::int32_t DSBVOLUME_MAX = 0;
inline constexpr std::int32_t DSBPAN_LEFT = -10000;
inline constexpr std::int32_t DSBPAN_RIGHT = 10000;
inline constexpr std::uint32_t DSBFREQUENCY_ORIGINAL = 0;
inline constexpr std::uint32_t DSBFREQUENCY_MIN = 100;
inline constexpr std::uint32_t DSBFREQUENCY_MAX = 100000;
inline constexpr std::uint32_t DSBSIZE_MIN = 4;
inline constexpr std::uint32_t DSBSIZE_MAX = 0x0FFFFFFF;

// The stored size of a buffer description; dwSize must say so.
inline constexpr std::uint32_t kDSBufferDescSize = 36;

struct DSBUFFERDESC {
    std::uint32_t dwSize = kDSBufferDescSize;
    std::uint32_t dwFlags = 0;
    std::uint32_t dwBufferBytes = 0;
    std::uint32_t dwReserved = 0;
    const WAVEFORMATEX* lpwfxFormat = nullptr;
};

// The gain of a volume in hundredths of a decibel: 10^(v/2000), and 0 at
// DSBVOLUME_MIN and below.
float VolumeToGain(std::int32_t volume);

class TMixer;
struct TVoice;

class TDirectSoundBuffer {
public:
    ~TDirectSoundBuffer();
    TDirectSoundBuffer(const TDirectSoundBuffer&) = delete;
    TDirectSoundBuffer& operator=(const TDirectSoundBuffer&) = delete;

    HRESULT GetFormat(WAVEFORMATEX& format) const;
    // Primary buffer only: the output format (PCM, 1 or 2 channels).
    HRESULT SetFormat(const WAVEFORMATEX& format);
    HRESULT Lock(std::uint32_t offset, std::uint32_t bytes, void** region1, std::uint32_t* bytes1, void** region2,
                 std::uint32_t* bytes2, std::uint32_t flags);
    HRESULT Unlock(void* region1, std::uint32_t bytes1, void* region2, std::uint32_t bytes2);
    HRESULT Play(std::uint32_t reserved1, std::uint32_t priority, std::uint32_t flags);
    // Stops and keeps the cursor.
    HRESULT Stop();
    // Aligned down to a whole sample frame.
    HRESULT SetCurrentPosition(std::uint32_t position);
    HRESULT GetCurrentPosition(std::uint32_t* play, std::uint32_t* write) const;
    HRESULT GetStatus(std::uint32_t& status) const;
    HRESULT Restore();
    HRESULT SetVolume(std::int32_t volume);
    HRESULT GetVolume(std::int32_t& volume) const;
    HRESULT SetPan(std::int32_t pan);
    HRESULT GetPan(std::int32_t& pan) const;
    HRESULT SetFrequency(std::uint32_t frequency);
    HRESULT GetFrequency(std::uint32_t& frequency) const;

    // Bytes of sample memory (0 for the primary buffer).
    std::uint32_t Size() const;
    std::uint32_t Flags() const;

private:
    friend class TDirectSound;
    TDirectSoundBuffer(std::shared_ptr<TMixer> mixer, std::unique_ptr<TVoice> voice, bool primary);

    std::shared_ptr<TMixer> mixer_;
    std::unique_ptr<TVoice> voice_;
    bool primary_;
};

class TDirectSound {
public:
    ~TDirectSound();
    TDirectSound(const TDirectSound&) = delete;
    TDirectSound& operator=(const TDirectSound&) = delete;

    HRESULT SetCooperativeLevel(void* window, std::uint32_t level);
    HRESULT CreateSoundBuffer(const DSBUFFERDESC& desc, std::shared_ptr<TDirectSoundBuffer>& buffer);
    // A buffer on the same sample memory with its own cursor, volume, play
    // state and lost flag.
    HRESULT DuplicateSoundBuffer(const std::shared_ptr<TDirectSoundBuffer>& original,
                                 std::shared_ptr<TDirectSoundBuffer>& duplicate);

    // The format the mixer writes.
    WAVEFORMATEX OutputFormat() const;

    // Test hooks: lose one buffer or every secondary buffer (they stop and
    // report DSBSTATUS_BUFFERLOST); make Restore fail while `refuse` holds.
    void SimulateLoss(TDirectSoundBuffer& buffer);
    void SimulateLossOfAll();
    void RefuseRestore(bool refuse);

private:
    friend HRESULT DirectSoundCreate8(std::shared_ptr<TDirectSound>& device, std::unique_ptr<IAudioBackend> backend);
    explicit TDirectSound(std::shared_ptr<TMixer> mixer) : mixer_(std::move(mixer)) {}

    std::shared_ptr<TMixer> mixer_;
};

// Opens the output (S16, stereo, 44100 Hz) on `backend`, or on SDL2 audio
// when none is given. DSERR_NODRIVER when it cannot be opened.
HRESULT DirectSoundCreate8(std::shared_ptr<TDirectSound>& device, std::unique_ptr<IAudioBackend> backend = nullptr);

}  // namespace qv::audio
