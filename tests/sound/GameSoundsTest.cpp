#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "game/assets/qv3Sounds.h"
#include "media/zkDSound.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "tests/sound/SoundFixtures.h"
#include "tests/support/OtherUser.h"

namespace qv {

namespace {

using test::TBytes;

// The scenario's resources: a short PCM effect under every effect name and
// a little MP3 music under every music name, unless left out.
class TFakeResources final : public IResourceSource {
public:
    TFakeResources() {
        const TBytes effect = test::WaveFile(codec::MakePcmFormat(1, 44100, 16), test::CounterPcm16(500, 1));
        for (const TGameSoundEntry& e : kGameSoundTable) {
            if (e.IsEffect) items_[std::string(e.Name) + ".wav"] = effect;
        }
        const test::TMp3Wave music = test::MakeMp3Wave(0.3, 44100, 2, 128, 440.0, 6000.0);
        musicPcmBytes_ = music.PcmBytes;
        for (int id = 0; id < 3; ++id) items_[std::string(kGameSoundTable[id].Name) + ".wav"] = music.File;
    }
    bool HasResource(const std::string& name) const override { return items_.count(name) != 0; }
    TBytes OpenResource(const std::string& name) const override {
        ++opens_[name];
        auto it = items_.find(name);
        if (it == items_.end()) throw EResNotFound("Resource not found: " + name);
        return it->second;
    }
    void Remove(const std::string& name) { items_.erase(name); }
    int Opens(const std::string& name) const { return opens_[name]; }
    std::uint32_t MusicFileSize() const { return 46 + musicPcmBytes_; }

private:
    std::map<std::string, TBytes> items_;
    mutable std::map<std::string, int> opens_;
    std::uint32_t musicPcmBytes_ = 0;
};

class GameSoundsTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedEnvironment_ = Environment;
        savedCommon_ = CommonDataDir;
        CommonDataDir = dir_.Path();
        Environment.MusicVolume = 80;
        Environment.SoundVolume = 50;
        sys::SetSystemClock(&clock_);
        auto backend = std::make_unique<audio::TNullAudioBackend>();
        null_ = backend.get();
        sound_ = std::make_unique<TzkDSound>(nullptr, audio::DSSCL_PRIORITY, nullptr, std::move(backend));
    }
    void TearDown() override {
        sound_.reset();
        sys::SetSystemClock(nullptr);
        Environment = savedEnvironment_;
        CommonDataDir = savedCommon_;
    }

    std::string MusicPath(int id) const { return dir_ / (std::string(kGameSoundTable[id].Name) + ".wav"); }
    static std::int32_t VolumeOf(TzkDSoundFile* s) {
        std::int32_t v = 1;
        s->Buffer->GetVolume(v);
        return v;
    }
    static bool IsPlaying(TzkDSoundFile* s) {
        std::uint32_t st = 0;
        s->Buffer->GetStatus(st);
        return (st & audio::DSBSTATUS_PLAYING) != 0;
    }

    test::TempDir dir_;
    test::TLogCapture log_;
    sys::TManualClock clock_;
    TEnvironmentRecord savedEnvironment_;
    std::string savedCommon_;
    audio::TNullAudioBackend* null_ = nullptr;
    std::unique_ptr<TzkDSound> sound_;
    TFakeResources resources_;
    TScenarioConfig config_;
};

}  // namespace

TEST(GameSoundTableTest, MusicFirstThenEffectsWithTwoVoicesForCatches) {
    EXPECT_STREQ(kGameSoundTable[0].Name, "QVX3GameMusic");
    EXPECT_STREQ(kGameSoundTable[2].Name, "QVX3HighScoreMusic");
    EXPECT_STREQ(kGameSoundTable[23].Name, "CatchVirus1");
    EXPECT_STREQ(kGameSoundTable[38].Name, "Bubble");
    for (int id = 0; id < kGameSoundCount; ++id) {
        const TGameSoundEntry& e = kGameSoundTable[id];
        const bool music = id < 3;
        EXPECT_EQ(e.StaticFlag, music ? 0 : 2) << id;
        EXPECT_EQ(e.Loop, music ? 1 : 0) << id;
        EXPECT_EQ(e.IsEffect, music ? 0 : 1) << id;
        EXPECT_EQ(e.ExtraVoices, id >= 23 && id <= 37 ? 1 : 0) << id;
    }
}

TEST(GameSoundTableTest, AttenuationInHundredthsOfDecibels) {
    struct TCase {
        float volume;
        std::int32_t result;
    };
    const TCase cases[] = {{0.0f, -10000}, {1.0f, 0},     {0.5f, -602},      {0.25f, -1204}, {0.01f, -4000},
                           {1.5f, 0},      {-0.3f, -10000}, {1e-9f, -10000}, {0.8f, -193}};
    for (const TCase& c : cases) EXPECT_EQ(TGameSounds::Attenuation(c.volume), c.result) << c.volume;
}

TEST_F(GameSoundsTest, LoadConvertsMusicAndMakesEveryVoice) {
    TGameSounds sounds(sound_.get(), resources_, config_);
    std::vector<int> progress;
    sounds.OnProgress = [&](TGameSounds& sender, int p) {
        EXPECT_EQ(&sender, &sounds);
        progress.push_back(p);
    };
    sounds.Load();
    std::vector<int> expected = {10};
    for (int i = 0; i < kGameSoundCount; ++i) expected.push_back(i * 90 / 38 + 10);
    EXPECT_EQ(progress, expected);
    EXPECT_EQ(progress.back(), 100);
    for (int id = 0; id < 3; ++id) {
        EXPECT_EQ(sys::ReadFileBytes(MusicPath(id)).value_or(TBytes()).size(), resources_.MusicFileSize()) << id;
        EXPECT_FALSE(sys::FileExists(MusicPath(id) + ".tmp"));
        EXPECT_NE(log_.Text().find(std::string("* Info: Decompressing sound file \"") + kGameSoundTable[id].Name + "\"\r\n"),
                  std::string::npos);
    }
    for (int id = 0; id < kGameSoundCount; ++id) {
        const auto& v = sounds.Voices[id];
        const int voices = 1 + kGameSoundTable[id].ExtraVoices;
        for (int k = 0; k < kMaxSoundVoices; ++k) {
            ASSERT_EQ(v.Voice[k] != nullptr, k < voices) << id << "/" << k;
            if (!v.Voice[k]) continue;
            EXPECT_EQ(v.Voice[k]->State, kSoundReady) << id;
            EXPECT_EQ(v.Voice[k]->Kind, id < 3 ? kBufferStreamed : kBufferStatic) << id;
            EXPECT_EQ(v.Voice[k]->Looping, id < 3) << id;
            EXPECT_EQ(VolumeOf(v.Voice[k]), id < 3 ? -193 : -602) << id;
        }
    }
    EXPECT_EQ(sound_->Sounds.size(), 39u + 15u);
}

TEST_F(GameSoundsTest, ClassVolumeZeroSwitchesTheClassOff) {
    Environment.SoundVolume = 0;
    Environment.MusicVolume = 0;
    TGameSounds sounds(sound_.get(), resources_, config_);
    sounds.Load();
    EXPECT_TRUE(sound_->Sounds.empty());
    for (int id = 0; id < 3; ++id) EXPECT_FALSE(sys::FileExists(MusicPath(id)));
    EXPECT_EQ(resources_.Opens("Shoot.wav"), 0);
    EXPECT_EQ(log_.Text(), "");
    sounds.Play(3, -1);
    sounds.Play(0, 0.5f);
    sounds.Pause(0);
    sounds.Resume(0);
    sounds.StopAll();
    sounds.Service();

    // Music off, effects on.
    Environment.SoundVolume = 100;
    TGameSounds effects(sound_.get(), resources_, config_);
    effects.Load();
    EXPECT_EQ(effects.Voices[0].Voice[0], nullptr);
    EXPECT_NE(effects.Voices[3].Voice[0], nullptr);
    EXPECT_FALSE(sys::FileExists(MusicPath(0)));
}

TEST_F(GameSoundsTest, MusicIsRebuiltUnlessItsSizeEntryMatches) {
    // Game music: current. Menu music: a stale size. High-score music: no entry.
    const std::string stale = "stale";
    for (int id = 0; id < 3; ++id) dir_.Write(std::string(kGameSoundTable[id].Name) + ".wav", stale);
    config_.Load("SndQVX3GameMusic=5\r\nSndQVX3MenuMusic=6\r\n");
    TGameSounds sounds(sound_.get(), resources_, config_);
    sounds.PrepareMusic();
    EXPECT_EQ(sys::ReadFileText(MusicPath(0)).value_or(""), stale);
    EXPECT_EQ(resources_.Opens("QVX3GameMusic.wav"), 0);
    EXPECT_EQ(sys::ReadFileBytes(MusicPath(1)).value_or(TBytes()).size(), resources_.MusicFileSize());
    EXPECT_EQ(sys::ReadFileBytes(MusicPath(2)).value_or(TBytes()).size(), resources_.MusicFileSize());
    // Now sized as they are, nothing is converted again.
    config_.Load("SndQVX3GameMusic=5\r\nSndQVX3MenuMusic=" + std::to_string(resources_.MusicFileSize()) +
                 "\r\nSndQVX3HighScoreMusic=" + std::to_string(resources_.MusicFileSize()) + "\r\n");
    sounds.PrepareMusic();
    EXPECT_EQ(resources_.Opens("QVX3MenuMusic.wav"), 1);
    EXPECT_EQ(resources_.Opens("QVX3HighScoreMusic.wav"), 1);
}

// The music files lie in the machine-wide folder: a link there (even one to
// a file of the right size) or a FIFO is treated as absent and replaced by
// a converted file; what the link pointed at is never written.
TEST_F(GameSoundsTest, PlantedMusicFilesAreReplacedNotFollowed) {
    const std::string victim = dir_.Write("victim", std::string(resources_.MusicFileSize(), 'v'));
    ASSERT_EQ(::symlink(victim.c_str(), MusicPath(0).c_str()), 0);
    ASSERT_EQ(::mkfifo(MusicPath(1).c_str(), 0666), 0);
    const std::string size = std::to_string(resources_.MusicFileSize());
    config_.Load("SndQVX3GameMusic=" + size + "\r\nSndQVX3MenuMusic=" + size + "\r\nSndQVX3HighScoreMusic=" + size +
                 "\r\n");
    TGameSounds sounds(sound_.get(), resources_, config_);
    sounds.PrepareMusic();
    EXPECT_EQ(sys::ReadFileText(victim).value(), std::string(resources_.MusicFileSize(), 'v'));
    for (int id = 0; id < 2; ++id) {
        struct stat st {};
        ASSERT_EQ(::lstat(MusicPath(id).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << id;
        EXPECT_EQ(static_cast<std::size_t>(st.st_size), resources_.MusicFileSize()) << id;
        EXPECT_NE(log_.Text().find("* Warning: Sound file " + MusicPath(id) +
                                   " is a link or not a regular file; treated as absent"),
                  std::string::npos)
            << log_.Text();
    }
}

// Where every user can write the machine-wide folder, a music file another
// user put there, even of the right size, is not played: it is converted anew.
TEST_F(GameSoundsTest, AnotherUsersMusicFileInAFolderAllCanWriteIsReplaced) {
    test::OtherUserFiles others;
    const std::string planted(resources_.MusicFileSize(), 'p');
    ASSERT_TRUE(sys::WriteFileAtomic(MusicPath(0), planted));
    ASSERT_TRUE(test::OtherUserFiles::Give(MusicPath(0)));
    ASSERT_EQ(::chmod(dir_.Path().c_str(), 01777), 0);
    const std::string size = std::to_string(resources_.MusicFileSize());
    config_.Load("SndQVX3GameMusic=" + size + "\r\nSndQVX3MenuMusic=" + size + "\r\nSndQVX3HighScoreMusic=" + size +
                 "\r\n");
    TGameSounds sounds(sound_.get(), resources_, config_);
    sounds.PrepareMusic();
    const auto now = sys::ReadFileText(MusicPath(0));
    ASSERT_TRUE(now);
    EXPECT_EQ(now->size(), resources_.MusicFileSize());
    EXPECT_NE(*now, planted);
    EXPECT_NE(log_.Text().find("* Warning: Sound file " + MusicPath(0)), std::string::npos) << log_.Text();
    ::chmod(dir_.Path().c_str(), 0700);
}

TEST_F(GameSoundsTest, FailedConversionEndsTheMusicAndLeavesNoFile) {
    resources_.Remove("QVX3MenuMusic.wav");
    TGameSounds sounds(sound_.get(), resources_, config_);
    sounds.Load();
    EXPECT_TRUE(sys::FileExists(MusicPath(0)));
    EXPECT_FALSE(sys::FileExists(MusicPath(1)));
    EXPECT_FALSE(sys::FileExists(MusicPath(1) + ".tmp"));
    EXPECT_FALSE(sys::FileExists(MusicPath(2)));
    EXPECT_EQ(resources_.Opens("QVX3HighScoreMusic.wav"), 0);
    EXPECT_NE(log_.Text().find("* Warning: Failed to decompress music files: Resource not found: QVX3MenuMusic.wav\r\n"),
              std::string::npos);
    // The music without a file stays silent; the rest plays.
    EXPECT_EQ(sounds.Voices[1].Voice[0]->State, kSoundSourceFailed);
    EXPECT_EQ(sounds.Voices[0].Voice[0]->State, kSoundReady);
    EXPECT_NO_THROW(sounds.Play(1, -1));
}

TEST_F(GameSoundsTest, CatchesTakeTurnsOnTheirTwoVoices) {
    Environment.MusicVolume = 0;
    TGameSounds sounds(sound_.get(), resources_, config_);
    sounds.Load();
    TzkDSoundFile* first = sounds.Voices[35].Voice[0];
    TzkDSoundFile* second = sounds.Voices[35].Voice[1];
    sounds.Play(35, -1);
    null_->Render(100);
    sounds.Play(35, -1);
    EXPECT_TRUE(IsPlaying(first));
    EXPECT_TRUE(IsPlaying(second));
    null_->Render(100);
    // The third catch restarts the first voice from its start.
    sounds.Play(35, 0.5f);
    EXPECT_EQ(sounds.Voices[35].NextVoice, 1);
    std::uint32_t play = 1;
    first->Buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 0u);
    EXPECT_EQ(VolumeOf(first), TGameSounds::Attenuation(0.25f));
    EXPECT_EQ(VolumeOf(second), -602);
    // One voice only: the index stays.
    sounds.Play(3, -1);
    sounds.Play(3, -1);
    EXPECT_EQ(sounds.Voices[3].NextVoice, 0);
    sounds.Stop(35);
    EXPECT_FALSE(IsPlaying(first));
    EXPECT_FALSE(IsPlaying(second));
    sounds.Play(-1, -1);
    sounds.Play(39, -1);
}

TEST_F(GameSoundsTest, MusicPausesResumesAndStreamsEveryFrame) {
    TGameSounds sounds(sound_.get(), resources_, config_);
    sounds.Load();
    TzkDSoundFile* music = sounds.Voices[0].Voice[0];
    ASSERT_EQ(music->State, kSoundReady);
    sounds.Resume(0);  // not paused: nothing
    EXPECT_FALSE(IsPlaying(music));
    sounds.Play(0, -1);
    EXPECT_TRUE(music->Playing);
    for (int i = 0; i < 100; ++i) {
        null_->Render(441);
        clock_.AdvanceMilliseconds(10);
        sounds.Service();
    }
    // A looping stream keeps playing beyond the end of its 0.3 s.
    EXPECT_TRUE(IsPlaying(music));
    EXPECT_FALSE(music->DataEnded);
    sounds.Pause(0);
    EXPECT_FALSE(IsPlaying(music));
    sounds.Resume(0);
    EXPECT_TRUE(IsPlaying(music));
    sounds.StopAll();
    EXPECT_FALSE(IsPlaying(music));
    EXPECT_FALSE(music->Playing);
}

TEST_F(GameSoundsTest, WithoutSoundDeviceNothingIsWrittenOrPlayed) {
    TzkDSound silent(nullptr, audio::DSSCL_PRIORITY, nullptr, std::make_unique<audio::TNullAudioBackend>(true));
    TGameSounds sounds(&silent, resources_, config_);
    sounds.Load();
    for (int id = 0; id < 3; ++id) EXPECT_FALSE(sys::FileExists(MusicPath(id)));
    EXPECT_EQ(sounds.Voices[3].Voice[0]->State, kSoundUnavailable);
    EXPECT_NO_THROW(sounds.Play(3, -1));
    EXPECT_NO_THROW(sounds.Play(0, -1));
    EXPECT_NO_THROW(sounds.Service());
}

}  // namespace qv
