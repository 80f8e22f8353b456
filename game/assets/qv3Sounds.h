// The game's sound set: three pieces of music and 36 effects addressed by
// number (ids 0..38), the shared vocabulary of the logic's sound flags and
// the core's sound calls.
//
// Music is stored compressed in the resources and turned into PCM WAV files
// in the shared data folder the first time it is needed (the scenario's
// "Snd" entries say which files are current); it streams from there and
// loops. Effects are static buffers made from the WAVE resources; the catch
// sounds have a second voice so that two catches in a row overlap.
//
// The sounds belong to the sound object; the set frees nothing. Main thread
// only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "game/data/qv3ResourceSource.h"
#include "game/data/qv3ScenarioConfig.h"
#include "game/data/qv3SoundIds.h"

namespace qv {

class TzkDSound;
class TzkDSoundFile;

inline constexpr int kMaxSoundVoices = 5;

struct TGameSoundEntry {
    const char* Name;           // the resource is Name + ".wav"
    std::uint8_t StaticFlag;    // the sound's buffer kind: 0 streamed from a file, 2 static
    std::uint8_t Loop;          // 1: the voices loop
    std::uint8_t IsEffect;      // 0: volume from MusicVolume, 1: from SoundVolume
    std::int32_t ExtraVoices;   // duplicates besides the first voice
};

extern const std::array<TGameSoundEntry, kGameSoundCount> kGameSoundTable;

// How long a sound may last and still be decoded whole, in ms.
inline constexpr std::uint32_t kSoundBufferThresholdMs = 2000;

class TGameSounds {
public:
    // On the program's resource manager (GameResources) and its scenario
    // environment.
    explicit TGameSounds(TzkDSound* sound);
    TGameSounds(TzkDSound* sound, const IResourceSource& resources, const TScenarioConfig& config);

    // Makes sure the PCM music files in CommonDataDir are there and current.
    void PrepareMusic();
    // PrepareMusic, then every voice of every id whose class volume is above
    // 0, reporting progress from 10 to 100.
    void Load();
    // Plays the id's next voice from its start; a factor other than -1
    // scales the class volume first.
    void Play(int id, float factor);
    void Pause(int id);
    // Plays voice 0 again when it is paused.
    void Resume(int id);
    void Stop(int id);
    void StopAll();
    // Once per frame: refills the streamed sounds.
    void Service();

    // A volume factor (0..1, clamped) in hundredths of a decibel: 0 gives
    // -10000, otherwise 2000 x log10(v) truncated, never below -10000.
    static std::int32_t Attenuation(float volume);

    struct TVoices {
        std::array<TzkDSoundFile*, kMaxSoundVoices> Voice{};
        std::int32_t NextVoice = 0;
    };

    TzkDSound* Sound;
    std::function<void(TGameSounds& sender, int percent)> OnProgress;
    std::array<TVoices, kGameSoundCount> Voices;

private:
    // MusicVolume or SoundVolume of the settings record, by the id's class.
    std::int32_t ClassVolume(int id) const;
    void Progress(int percent);

    const IResourceSource& resources_;
    const TScenarioConfig& config_;
};

}  // namespace qv
