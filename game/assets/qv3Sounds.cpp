#include "game/assets/qv3Sounds.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "game/assets/qv3Resources.h"
#include "media/zkDSound.h"
#include "platform/system/Files.h"

namespace qv {

namespace {

constexpr TGameSoundEntry Music(const char* name) { return {name, kBufferStreamed, 1, 0, 0}; }
constexpr TGameSoundEntry Effect(const char* name, std::int32_t extra = 0) { return {name, kBufferStatic, 0, 1, extra}; }

const TQVX3Resources& ProgramResources() {
    if (!GameResources) throw Exception("The scenario resource manager is not there");
    return *GameResources;
}

bool ValidId(int id) { return id >= 0 && id < kGameSoundCount; }

// The size of a file; throws when it cannot be measured.
std::uint64_t FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw Exception(std::strerror(errno));
    return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace

const std::array<TGameSoundEntry, kGameSoundCount> kGameSoundTable = {{
    Music("QVX3GameMusic"),
    Music("QVX3MenuMusic"),
    Music("QVX3HighScoreMusic"),
    Effect("Shoot"),
    Effect("ShootSeekCondom"),
    Effect("Torpedo"),
    Effect("Coming"),
    Effect("NivletOut"),
    Effect("GameOver"),
    Effect("LvlFinished"),
    Effect("Delete"),
    Effect("Write"),
    Effect("BigTime"),
    Effect("NoShoot"),
    Effect("TorpedoDestroy"),
    Effect("Splitting"),
    Effect("BubbleExplosion"),
    Effect("BubbleFirework"),
    Effect("Attack"),
    Effect("EarlyCatch"),
    Effect("LvlStart"),
    Effect("ActivateTorpedo"),
    Effect("ActivateSeeker"),
    Effect("CatchVirus1", 1),
    Effect("CatchVirus2", 1),
    Effect("CatchVirus3", 1),
    Effect("CatchVirusSplitter", 1),
    Effect("CatchVirusCork", 1),
    Effect("CatchVirus6", 1),
    Effect("CatchNivletTheme1", 1),
    Effect("CatchNivletTheme2", 1),
    Effect("CatchNivletNeutral", 1),
    Effect("CatchNivletTheme3", 1),
    Effect("CatchNivletTheme4", 1),
    Effect("CatchNivletTheme5", 1),
    Effect("CatchGold", 1),
    Effect("CatchSilver", 1),
    Effect("CatchBronze", 1),
    Effect("Bubble"),
}};

TGameSounds::TGameSounds(TzkDSound* sound)
    : TGameSounds(sound, ProgramResources(), ProgramResources().Config()) {}

TGameSounds::TGameSounds(TzkDSound* sound, const IResourceSource& resources, const TScenarioConfig& config)
    : Sound(sound), resources_(resources), config_(config) {}

std::int32_t TGameSounds::Attenuation(float volume) {
    // Out of range: a damaged settings record or a factor above 1 would
    // otherwise give volumes the sound layer refuses.
    if (!(volume > 0.0f)) return -10000;
    const double v = std::min(static_cast<double>(volume), 1.0);
    const double db = std::trunc(2000.0 * std::log10(v));
    return static_cast<std::int32_t>(std::clamp(db, -10000.0, 0.0));
}

std::int32_t TGameSounds::ClassVolume(int id) const {
    return kGameSoundTable[static_cast<std::size_t>(id)].IsEffect ? Environment.SoundVolume : Environment.MusicVolume;
}

void TGameSounds::Progress(int percent) {
    if (OnProgress) OnProgress(*this, percent);
}

void TGameSounds::PrepareMusic() {
    if (!Sound || Sound->SoundUnavailable || Environment.MusicVolume == 0) return;
    for (int id = 0; id < kGameSoundCount; ++id) {
        const TGameSoundEntry& e = kGameSoundTable[static_cast<std::size_t>(id)];
        if (e.StaticFlag != kBufferStreamed || ClassVolume(id) <= 0) continue;
        const std::string path = CommonDataDir + e.Name + ".wav";
        std::int32_t expected = 0;
        // The machine-wide folder: a link or anything but a regular file
        // there is treated as absent, and the conversion replaces it.
        const sys::FileStatus found = sys::InspectFile(path, sys::LinkRule::Refuse);
        if (found == sys::FileStatus::NotRegular)
            LogMessage("Sound file " + path + " is a link or not a regular file; treated as absent", lkWarning);
        if (found == sys::FileStatus::Ok && config_.SoundSize(e.Name, expected)) {
            try {
                if (FileSize(path) == static_cast<std::uint64_t>(static_cast<std::uint32_t>(expected))) continue;
            } catch (const std::exception& ex) {
                LogMessage(std::string("Error checking sound file size: ") + ex.what(), lkError);
            }
        }
        // The conversion writes a new file and renames it over the old one at
        // the end, so one that fails never leaves a cut-off file to play.
        try {
            LogMessage(std::string("Decompressing sound file \"") + e.Name + "\"", lkInfo);
            const std::vector<std::uint8_t> resource = resources_.OpenResource(std::string(e.Name) + ".wav");
            TStreamWaveReadStream source{std::span<const std::uint8_t>(resource)};
            Sound->ConvertToPCMFile(source, path);
        } catch (const std::exception& ex) {
            LogMessage(std::string("Failed to decompress music files: ") + ex.what(), lkWarning);
            break;
        }
    }
}

void TGameSounds::Load() {
    PrepareMusic();
    Progress(10);
    for (int id = 0; id < kGameSoundCount; ++id) {
        const TGameSoundEntry& e = kGameSoundTable[static_cast<std::size_t>(id)];
        const std::int32_t volume = ClassVolume(id);
        if (Sound && volume > 0) {
            TVoices& v = Voices[static_cast<std::size_t>(id)];
            try {
                const std::string file = std::string(e.Name) + ".wav";
                if (e.StaticFlag != kBufferStreamed) {
                    const std::vector<std::uint8_t> resource = resources_.OpenResource(file);
                    v.Voice[0] = TzkDSoundFile::CreateFromStream(*Sound, kSoundBufferThresholdMs, e.StaticFlag, resource, file);
                } else {
                    v.Voice[0] = TzkDSoundFile::CreateFromFile(*Sound, kSoundBufferThresholdMs, e.StaticFlag, CommonDataDir + file);
                }
                for (std::int32_t k = 1; k <= e.ExtraVoices && k < kMaxSoundVoices; ++k)
                    v.Voice[static_cast<std::size_t>(k)] = TzkDSoundFile::CreateDuplicate(*v.Voice[0]);
                for (TzkDSoundFile* voice : v.Voice) {
                    if (!voice) continue;
                    voice->Looping = e.Loop != 0;
                    voice->SetVolume(Attenuation(static_cast<float>(volume) / 100.0f));
                }
            } catch (const std::exception&) {
                // This id stays silent.
            }
        }
        Progress(id * 90 / 38 + 10);
    }
}

void TGameSounds::Play(int id, float factor) {
    if (!ValidId(id)) return;
    const std::int32_t volume = ClassVolume(id);
    if (volume <= 0) return;
    const TGameSoundEntry& e = kGameSoundTable[static_cast<std::size_t>(id)];
    TVoices& v = Voices[static_cast<std::size_t>(id)];
    TzkDSoundFile* voice = v.Voice[static_cast<std::size_t>(v.NextVoice)];
    if (!voice) return;
    if (factor != -1.0f) voice->SetVolume(Attenuation(factor * static_cast<float>(volume) / 100.0f));
    voice->Stop();
    voice->Play();
    if (e.ExtraVoices > 0) v.NextVoice = (v.NextVoice + 1) % (e.ExtraVoices + 1);
}

void TGameSounds::Pause(int id) {
    if (!ValidId(id) || ClassVolume(id) <= 0) return;
    if (TzkDSoundFile* voice = Voices[static_cast<std::size_t>(id)].Voice[0]) voice->Pause();
}

void TGameSounds::Resume(int id) {
    if (!ValidId(id) || ClassVolume(id) <= 0) return;
    TzkDSoundFile* voice = Voices[static_cast<std::size_t>(id)].Voice[0];
    if (voice && voice->Paused) voice->Play();
}

void TGameSounds::Stop(int id) {
    if (!ValidId(id) || ClassVolume(id) <= 0) return;
    for (TzkDSoundFile* voice : Voices[static_cast<std::size_t>(id)].Voice)
        if (voice) voice->Stop();
}

void TGameSounds::StopAll() {
    for (int id = 0; id < kGameSoundCount; ++id) Stop(id);
}

void TGameSounds::Service() {
    if (Sound) Sound->ResumeStreams();
}

}  // namespace qv
