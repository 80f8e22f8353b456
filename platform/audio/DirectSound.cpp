#include "platform/audio/DirectSound.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/audio/Mixer.h"

namespace qv::audio {

namespace {

// The output format the device opens with before anyone sets one.
codec::WAVEFORMATEX DefaultOutput() { return codec::MakePcmFormat(2, 44100, 16).Fmt; }

std::uint32_t PlayCursor(const TVoice& v) { return static_cast<std::uint32_t>(v.Position >> 32) * v.Format.nBlockAlign; }

// About 10 ms ahead of the play cursor while playing (never a whole
// buffer); the play cursor itself while stopped.
std::uint32_t WriteCursor(const TVoice& v) {
    const std::uint32_t play = PlayCursor(v);
    if (!v.Playing) return play;
    const std::uint32_t frames = v.Frames();
    const std::uint32_t ahead = std::min(v.Format.nSamplesPerSec / 100, frames ? frames - 1 : 0);
    return (play + ahead * v.Format.nBlockAlign) % static_cast<std::uint32_t>(v.Memory->size());
}

}  // namespace

std::string DirectSoundErrorText(HRESULT hr) {
    switch (hr) {
        case DS_OK: return "No error";
        case DSERR_BUFFERLOST: return "Buffer memory lost";
        case DSERR_INVALIDPARAM: return "Invalid parameter";
        case DSERR_OUTOFMEMORY: return "Out of memory";
        case DSERR_NODRIVER: return "No sound device";
        case DSERR_INVALIDCALL: return "Call not valid in this state";
        case DSERR_BADFORMAT: return "Wave format not supported";
        case DSERR_CONTROLUNAVAIL: return "Buffer control not available";
        case DSERR_PRIOLEVELNEEDED: return "Priority cooperative level needed";
        default: return "Unknown result";
    }
}

float VolumeToGain(std::int32_t volume) {
    if (volume <= DSBVOLUME_MIN) return 0.0f;
    if (volume >= DSBVOLUME_MAX) return 1.0f;
    return static_cast<float>(std::pow(10.0, static_cast<double>(volume) / 2000.0));
}

// ---- device ----------------------------------------------------------------

HRESULT DirectSoundCreate8(std::shared_ptr<TDirectSound>& device, std::unique_ptr<IAudioBackend> backend) {
    device.reset();
    if (!backend) backend = CreateSdlAudioBackend();
    auto mixer = std::make_shared<TMixer>(std::move(backend));
    if (!mixer->Open(DefaultOutput())) return DSERR_NODRIVER;
    device.reset(new TDirectSound(std::move(mixer)));
    return DS_OK;
}

TDirectSound::~TDirectSound() { mixer_->Close(); }

HRESULT TDirectSound::SetCooperativeLevel(void*, std::uint32_t level) {
    if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    std::lock_guard g(mixer_->Lock);
    mixer_->CooperativeLevel = level;
    return DS_OK;
}

HRESULT TDirectSound::CreateSoundBuffer(const DSBUFFERDESC& desc, std::shared_ptr<TDirectSoundBuffer>& buffer) {
    buffer.reset();
    if (desc.dwSize != kDSBufferDescSize) return DSERR_INVALIDPARAM;
    if ((desc.dwFlags & DSBCAPS_LOCHARDWARE) && (desc.dwFlags & DSBCAPS_LOCSOFTWARE)) return DSERR_INVALIDPARAM;
    auto voice = std::make_unique<TVoice>();
    voice->Flags = desc.dwFlags;
    if (desc.dwFlags & DSBCAPS_PRIMARYBUFFER) {
        if (desc.dwBufferBytes != 0 || desc.lpwfxFormat) return DSERR_INVALIDPARAM;
        buffer.reset(new TDirectSoundBuffer(mixer_, std::move(voice), true));
        return DS_OK;
    }
    if (!desc.lpwfxFormat) return DSERR_INVALIDPARAM;
    if (!codec::IsPlayablePcm(*desc.lpwfxFormat)) return DSERR_BADFORMAT;
    if (desc.dwBufferBytes < DSBSIZE_MIN || desc.dwBufferBytes > DSBSIZE_MAX ||
        desc.dwBufferBytes < desc.lpwfxFormat->nBlockAlign)
        return DSERR_INVALIDPARAM;
    try {
        voice->Memory = std::make_shared<std::vector<std::uint8_t>>(desc.dwBufferBytes, 0);
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    }
    voice->Format = *desc.lpwfxFormat;
    voice->Format.cbSize = 0;
    voice->Frequency = voice->Format.nSamplesPerSec;
    TVoice* v = voice.get();
    buffer.reset(new TDirectSoundBuffer(mixer_, std::move(voice), false));
    std::lock_guard g(mixer_->Lock);
    mixer_->Voices.push_back(v);
    return DS_OK;
}

HRESULT TDirectSound::DuplicateSoundBuffer(const std::shared_ptr<TDirectSoundBuffer>& original,
                                           std::shared_ptr<TDirectSoundBuffer>& duplicate) {
    duplicate.reset();
    if (!original || original->mixer_ != mixer_) return DSERR_INVALIDPARAM;
    if (original->primary_) return DSERR_INVALIDCALL;
    auto voice = std::make_unique<TVoice>();
    TVoice* v = voice.get();
    std::lock_guard g(mixer_->Lock);
    const TVoice& o = *original->voice_;
    v->Memory = o.Memory;
    v->Format = o.Format;
    v->Flags = o.Flags;
    v->Lost = o.Lost;
    v->Volume = o.Volume;
    v->Gain = o.Gain;
    v->Pan = o.Pan;
    v->Frequency = o.Frequency;
    duplicate.reset(new TDirectSoundBuffer(mixer_, std::move(voice), false));
    mixer_->Voices.push_back(v);
    return DS_OK;
}

WAVEFORMATEX TDirectSound::OutputFormat() const {
    std::lock_guard g(mixer_->Lock);
    return mixer_->Output;
}

void TDirectSound::SimulateLoss(TDirectSoundBuffer& buffer) {
    if (buffer.primary_) return;
    std::lock_guard g(mixer_->Lock);
    buffer.voice_->Lost = true;
    buffer.voice_->Playing = false;
}

void TDirectSound::SimulateLossOfAll() {
    std::lock_guard g(mixer_->Lock);
    for (TVoice* v : mixer_->Voices) {
        v->Lost = true;
        v->Playing = false;
    }
}

void TDirectSound::RefuseRestore(bool refuse) {
    std::lock_guard g(mixer_->Lock);
    mixer_->RefuseRestore = refuse;
}

// ---- buffers ---------------------------------------------------------------

TDirectSoundBuffer::TDirectSoundBuffer(std::shared_ptr<TMixer> mixer, std::unique_ptr<TVoice> voice, bool primary)
    : mixer_(std::move(mixer)), voice_(std::move(voice)), primary_(primary) {}

TDirectSoundBuffer::~TDirectSoundBuffer() {
    if (primary_) return;
    std::lock_guard g(mixer_->Lock);
    auto& list = mixer_->Voices;
    list.erase(std::remove(list.begin(), list.end(), voice_.get()), list.end());
}

std::uint32_t TDirectSoundBuffer::Size() const {
    std::lock_guard g(mixer_->Lock);
    return voice_->Memory ? static_cast<std::uint32_t>(voice_->Memory->size()) : 0;
}

std::uint32_t TDirectSoundBuffer::Flags() const {
    std::lock_guard g(mixer_->Lock);
    return voice_->Flags;
}

HRESULT TDirectSoundBuffer::GetFormat(WAVEFORMATEX& format) const {
    std::lock_guard g(mixer_->Lock);
    format = primary_ ? mixer_->Output : voice_->Format;
    return DS_OK;
}

HRESULT TDirectSoundBuffer::SetFormat(const WAVEFORMATEX& format) {
    if (!primary_) return DSERR_INVALIDCALL;
    if (!codec::IsPlayablePcm(format)) return DSERR_BADFORMAT;
    WAVEFORMATEX current;
    {
        std::lock_guard g(mixer_->Lock);
        if (mixer_->CooperativeLevel < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
        current = mixer_->Output;
    }
    WAVEFORMATEX wanted = format;
    wanted.cbSize = 0;
    if (wanted.nSamplesPerSec == current.nSamplesPerSec && wanted.nChannels == current.nChannels) {
        std::lock_guard g(mixer_->Lock);
        mixer_->Output = wanted;
        return DS_OK;
    }
    return mixer_->Open(wanted) ? DS_OK : DSERR_NODRIVER;
}

HRESULT TDirectSoundBuffer::Lock(std::uint32_t offset, std::uint32_t bytes, void** region1, std::uint32_t* bytes1,
                                 void** region2, std::uint32_t* bytes2, std::uint32_t flags) {
    if (!region1 || !bytes1) return DSERR_INVALIDPARAM;
    *region1 = nullptr;
    *bytes1 = 0;
    if (region2) *region2 = nullptr;
    if (bytes2) *bytes2 = 0;
    if (primary_) return DSERR_PRIOLEVELNEEDED;
    std::lock_guard g(mixer_->Lock);
    TVoice& v = *voice_;
    if (v.Lost) return DSERR_BUFFERLOST;
    const auto size = static_cast<std::uint32_t>(v.Memory->size());
    if (flags & DSBLOCK_FROMWRITECURSOR) offset = WriteCursor(v);
    if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
    if (offset >= size || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
    const std::uint32_t first = std::min(bytes, size - offset);
    const std::uint32_t second = bytes - first;
    if (second > 0 && (!region2 || !bytes2)) return DSERR_INVALIDPARAM;
    TVoice::TLocked locked;
    try {
        locked.Staging.resize(bytes);
    } catch (const std::bad_alloc&) {
        return DSERR_OUTOFMEMORY;
    }
    locked.Offset = offset;
    locked.First = first;
    locked.Second = second;
    std::memcpy(locked.Staging.data(), v.Memory->data() + offset, first);
    if (second) std::memcpy(locked.Staging.data() + first, v.Memory->data(), second);
    *region1 = locked.Staging.data();
    *bytes1 = first;
    if (second) {
        *region2 = locked.Staging.data() + first;
        *bytes2 = second;
    }
    v.Locks.push_back(std::move(locked));
    return DS_OK;
}

HRESULT TDirectSoundBuffer::Unlock(void* region1, std::uint32_t bytes1, void* region2, std::uint32_t bytes2) {
    if (primary_) return DSERR_INVALIDCALL;
    std::lock_guard g(mixer_->Lock);
    TVoice& v = *voice_;
    auto it = std::find_if(v.Locks.begin(), v.Locks.end(),
                           [&](const TVoice::TLocked& l) { return l.Staging.data() == region1; });
    if (it == v.Locks.end() || bytes1 > it->First) return DSERR_INVALIDPARAM;
    if (region2 && (region2 != it->Staging.data() + it->First || bytes2 > it->Second)) return DSERR_INVALIDPARAM;
    if (!region2) bytes2 = 0;
    std::memcpy(v.Memory->data() + it->Offset, it->Staging.data(), bytes1);
    if (bytes2) std::memcpy(v.Memory->data(), it->Staging.data() + it->First, bytes2);
    v.Locks.erase(it);
    return DS_OK;
}

HRESULT TDirectSoundBuffer::Play(std::uint32_t, std::uint32_t, std::uint32_t flags) {
    if (primary_) return DS_OK;
    std::lock_guard g(mixer_->Lock);
    if (voice_->Lost) return DSERR_BUFFERLOST;
    voice_->Playing = true;
    voice_->Looping = (flags & DSBPLAY_LOOPING) != 0;
    return DS_OK;
}

HRESULT TDirectSoundBuffer::Stop() {
    if (primary_) return DS_OK;
    std::lock_guard g(mixer_->Lock);
    voice_->Playing = false;
    return DS_OK;
}

HRESULT TDirectSoundBuffer::SetCurrentPosition(std::uint32_t position) {
    if (primary_) return DSERR_INVALIDCALL;
    std::lock_guard g(mixer_->Lock);
    TVoice& v = *voice_;
    if (position >= v.Memory->size()) return DSERR_INVALIDPARAM;
    v.Position = static_cast<std::uint64_t>(position / v.Format.nBlockAlign) << 32;
    return DS_OK;
}

HRESULT TDirectSoundBuffer::GetCurrentPosition(std::uint32_t* play, std::uint32_t* write) const {
    if (primary_) {
        if (play) *play = 0;
        if (write) *write = 0;
        return DS_OK;
    }
    std::lock_guard g(mixer_->Lock);
    if (play) *play = PlayCursor(*voice_);
    if (write) *write = WriteCursor(*voice_);
    return DS_OK;
}

HRESULT TDirectSoundBuffer::GetStatus(std::uint32_t& status) const {
    status = 0;
    if (primary_) return DS_OK;
    std::lock_guard g(mixer_->Lock);
    if (voice_->Playing) status |= DSBSTATUS_PLAYING;
    if (voice_->Playing && voice_->Looping) status |= DSBSTATUS_LOOPING;
    if (voice_->Lost) status |= DSBSTATUS_BUFFERLOST;
    return DS_OK;
}

HRESULT TDirectSoundBuffer::Restore() {
    if (primary_) return DS_OK;
    std::lock_guard g(mixer_->Lock);
    TVoice& v = *voice_;
    if (!v.Lost) return DS_OK;
    if (mixer_->RefuseRestore) return DSERR_BUFFERLOST;
    v.Lost = false;
    std::fill(v.Memory->begin(), v.Memory->end(), std::uint8_t{0});
    return DS_OK;
}

HRESULT TDirectSoundBuffer::SetVolume(std::int32_t volume) {
    std::lock_guard g(mixer_->Lock);
    if (!(voice_->Flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    voice_->Volume = volume;
    voice_->Gain = VolumeToGain(volume);
    return DS_OK;
}

HRESULT TDirectSoundBuffer::GetVolume(std::int32_t& volume) const {
    std::lock_guard g(mixer_->Lock);
    if (!(voice_->Flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    volume = voice_->Volume;
    return DS_OK;
}

HRESULT TDirectSoundBuffer::SetPan(std::int32_t pan) {
    std::lock_guard g(mixer_->Lock);
    if (!(voice_->Flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    voice_->Pan = pan;
    return DS_OK;
}

HRESULT TDirectSoundBuffer::GetPan(std::int32_t& pan) const {
    std::lock_guard g(mixer_->Lock);
    if (!(voice_->Flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    pan = voice_->Pan;
    return DS_OK;
}

HRESULT TDirectSoundBuffer::SetFrequency(std::uint32_t frequency) {
    std::lock_guard g(mixer_->Lock);
    if (primary_ || !(voice_->Flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    if (frequency != DSBFREQUENCY_ORIGINAL && (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX))
        return DSERR_INVALIDPARAM;
    voice_->Frequency = frequency == DSBFREQUENCY_ORIGINAL ? voice_->Format.nSamplesPerSec : frequency;
    return DS_OK;
}

HRESULT TDirectSoundBuffer::GetFrequency(std::uint32_t& frequency) const {
    std::lock_guard g(mixer_->Lock);
    if (primary_ || !(voice_->Flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    frequency = voice_->Frequency;
    return DS_OK;
}

}  // namespace qv::audio
