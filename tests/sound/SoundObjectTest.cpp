#include <gtest/gtest.h>

#include <cstring>

#include "media/zkDSound.h"
#include "platform/codec/Acm.h"
#include "platform/system/Clock.h"
#include "platform/system/Files.h"
#include "tests/sound/SoundFixtures.h"

namespace qv {

namespace {

using codec::MakePcmFormat;
using test::TBytes;

class SoundObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        sys::SetSystemClock(&clock_);
        auto backend = std::make_unique<audio::TNullAudioBackend>();
        null_ = backend.get();
        sound_ = std::make_unique<TzkDSound>(nullptr, audio::DSSCL_PRIORITY, nullptr, std::move(backend));
        ASSERT_FALSE(sound_->SoundUnavailable);
    }
    void TearDown() override {
        sound_.reset();
        sys::SetSystemClock(nullptr);
    }

    TzkDSoundFile* Static(const TBytes& wave, const std::string& name = "effect") {
        return TzkDSoundFile::CreateFromStream(*sound_, 2000, kBufferStatic, wave, name);
    }
    TzkDSoundFile* Streamed(const TBytes& wave, const std::string& name = "music") {
        const std::string path = dir_.Write(name + ".wav", std::string(wave.begin(), wave.end()));
        return TzkDSoundFile::CreateFromFile(*sound_, 2000, kBufferStreamed, path);
    }

    // One frame of the game: 10 ms of output, then the per-frame service.
    std::vector<std::int16_t> Frame() {
        null_->Render(441);
        clock_.AdvanceMilliseconds(10);
        sound_->ResumeStreams();
        std::vector<std::int16_t> left;
        const auto& out = null_->LastOutput();
        for (std::size_t i = 0; i < out.size(); i += 2) left.push_back(out[i]);
        return left;
    }

    static TBytes Ring(TzkDSoundFile& s) {
        void *p1 = nullptr, *p2 = nullptr;
        std::uint32_t n1 = 0, n2 = 0;
        EXPECT_EQ(s.Buffer->Lock(0, 0, &p1, &n1, &p2, &n2, audio::DSBLOCK_ENTIREBUFFER), audio::DS_OK);
        TBytes out(static_cast<std::uint8_t*>(p1), static_cast<std::uint8_t*>(p1) + n1);
        s.Buffer->Unlock(p1, 0, p2, 0);
        return out;
    }

    static std::uint32_t Status(TzkDSoundFile& s) {
        std::uint32_t st = 0;
        s.Buffer->GetStatus(st);
        return st;
    }

    sys::TManualClock clock_;
    test::TempDir dir_;
    audio::TNullAudioBackend* null_ = nullptr;
    std::unique_ptr<TzkDSound> sound_;
};

// Mono 16-bit at the output rate, so output frames equal source frames.
const codec::TWaveFormat kMono = MakePcmFormat(1, 44100, 16);

std::vector<std::int16_t> CounterValues(std::uint32_t from, std::uint32_t count) {
    std::vector<std::int16_t> v;
    for (std::uint32_t i = 0; i < count; ++i) v.push_back(test::Counter(from + i));
    return v;
}

}  // namespace

TEST(SoundDeviceTest, NoDeviceMakesASilentObjectWithoutRaising) {
    test::TLogCapture log;
    TzkDSound sound(nullptr, audio::DSSCL_PRIORITY, nullptr, std::make_unique<audio::TNullAudioBackend>(true));
    EXPECT_TRUE(sound.SoundUnavailable);
    EXPECT_FALSE(sound.ServiceTimer);
    EXPECT_EQ(log.Text(), "* Msg 88780078: No sound device DirectSoundCreate8\r\n");
    const TBytes wave = test::WaveFile(kMono, test::CounterPcm16(100, 1));
    TzkDSoundFile* s = TzkDSoundFile::CreateFromStream(sound, 2000, kBufferStatic, wave, "x");
    EXPECT_EQ(s->State, kSoundUnavailable);
    EXPECT_FALSE(s->Buffer);
    s->Looping = true;
    s->Play();
    s->SetVolume(-100);
    s->Pause();
    s->Stop();
    EXPECT_FALSE(s->CheckLost());
    TzkDSoundFile* d = TzkDSoundFile::CreateDuplicate(*s);
    EXPECT_EQ(d->State, kSoundUnavailable);
    sound.ResumeStreams();
    // Only the creation failure was logged.
    EXPECT_EQ(log.Text(), "* Msg 88780078: No sound device DirectSoundCreate8\r\n");
}

TEST(SoundDeviceTest, DSCheckLogsAndRaisesByKind) {
    test::TLogCapture log;
    EXPECT_NO_THROW(DSCheck(audio::DS_OK, kDSErrLoadCodec, "ok"));
    EXPECT_NO_THROW(DSCheck(1, 0, "a success code"));
    EXPECT_EQ(log.Text(), "");

    EXPECT_THROW(DSCheck(audio::DSERR_BUFFERLOST, 0, "Lock"), EDirectXBufferLostError);
    EXPECT_EQ(log.Text(), "* Info: Sound buffer lost\r\n");

    try {
        DSCheck(audio::DSERR_INVALIDPARAM, 0, "SetVolume");
        ADD_FAILURE();
    } catch (const EDirectXError& e) {
        EXPECT_STREQ(e.what(), "Invalid parameter");
        EXPECT_EQ(e.ErrorCode(), audio::DSERR_INVALIDPARAM);
    }
    try {
        DSCheck(audio::DSERR_NODRIVER, kDSErrCreate, "at start");
        ADD_FAILURE();
    } catch (const EDirectXError& e) {
        EXPECT_STREQ(e.what(), "Failed to create DirectSound");
        EXPECT_EQ(e.ErrorCode(), audio::DSERR_NODRIVER);
    }
    EXPECT_EQ(log.Text(),
              "* Info: Sound buffer lost\r\n"
              "* Msg 80070057: Invalid parameter SetVolume\r\n"
              "* Msg 81010002: D3D $88780078: No sound device - Failed to create DirectSound at start\r\n");
    EXPECT_EQ(DSoundErrorText(0x81010077u), "Unrecognized Error");
}

TEST(SoundDeviceTest, CodecDriverLoadsSilentlyAndReportsRealFailures) {
    test::TLogCapture log;
    test::TempDir dir;
    TzkDSound sound(nullptr, audio::DSSCL_PRIORITY, nullptr, std::make_unique<audio::TNullAudioBackend>());
    const std::string good = dir.Write("l3codecx.acm", codec::CodecDescriptor());
    const codec::TAcmDriverCounts before = codec::AcmDriverCounts();
    sound.LoadACMDriver(good);
    EXPECT_TRUE(sound.CodecDriver);
    EXPECT_EQ(sound.CodecPath, good);
    sound.LoadACMDriver(good);  // the first one is unloaded before
    const codec::TAcmDriverCounts after = codec::AcmDriverCounts();
    EXPECT_EQ(after.Opened - before.Opened, 2);
    EXPECT_EQ(after.Closed - before.Closed, 1);
    EXPECT_EQ(after.Removed - before.Removed, 1);
    EXPECT_EQ(log.Text(), "");

    struct TCase {
        const char* what;
        std::string path;
        const char* error;
        const char* line;
    };
    const TCase cases[] = {
        {"a missing file", dir / "none.acm", "Error loading ACM driver library",
         "* Msg 81010004: Error loading ACM driver library\r\n"},
        {"not a codec file", dir.Write("bad.acm", "MZ\x90"), "Error loading ACM driver library",
         "* Msg 81010004: Error loading ACM driver library\r\n"},
        {"no driver entry", dir.Write("noproc.acm", "QuorvexCodec 1\r\nOther=1\r\n"),
         "Could not get ACM driver procedure address", "* Msg 81010005: Could not get ACM driver procedure address\r\n"},
    };
    for (const TCase& c : cases) {
        const std::string was = log.Text();
        try {
            sound.LoadACMDriver(c.path);
            ADD_FAILURE() << c.what;
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), c.error) << c.what;
        }
        EXPECT_EQ(log.Text().substr(was.size()), c.line) << c.what;
        EXPECT_FALSE(sound.CodecDriver) << c.what;
    }
    EXPECT_EQ(codec::AcmDriverCounts().Closed - before.Closed, 2);
}

TEST_F(SoundObjectTest, StaticSoundPlaysOnceToItsEnd) {
    const TBytes pcm = test::CounterPcm16(1000, 1);
    TzkDSoundFile* s = Static(test::WaveFile(kMono, pcm), "Sounds/Shoot.WAV");
    ASSERT_EQ(s->State, kSoundReady);
    EXPECT_EQ(s->Name, "shoot");
    EXPECT_EQ(s->BufferSize, pcm.size());
    EXPECT_EQ(s->Buffer->Flags(), 0x100E2u);
    EXPECT_FALSE(s->Source);
    EXPECT_FALSE(s->Reader);
    s->Play();
    EXPECT_FALSE(s->Playing);  // played once: not a playing loop
    std::vector<std::int16_t> out;
    for (int i = 0; i < 3; ++i) {
        const auto f = Frame();
        out.insert(out.end(), f.begin(), f.end());
    }
    EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.begin() + 1000), CounterValues(0, 1000));
    EXPECT_EQ(std::vector<std::int16_t>(out.begin() + 1000, out.end()), std::vector<std::int16_t>(323, 0));
    EXPECT_EQ(Status(*s), 0u);
}

TEST_F(SoundObjectTest, AutomaticKindFollowsTheThreshold) {
    const codec::TWaveFormat slow = MakePcmFormat(1, 1000, 8);  // 1 byte a millisecond
    TzkDSoundFile* exact = TzkDSoundFile::CreateFromStream(*sound_, 2000, kBufferAutomatic, test::WaveFile(slow, TBytes(2000, 128)), "a");
    TzkDSoundFile* longer = TzkDSoundFile::CreateFromStream(*sound_, 2000, kBufferAutomatic, test::WaveFile(slow, TBytes(2001, 128)), "b");
    EXPECT_EQ(exact->Kind, kBufferStatic);
    EXPECT_EQ(exact->BufferSize, 2000u);
    EXPECT_EQ(longer->Kind, kBufferStreamed);
    EXPECT_EQ(longer->BufferSize, 1000u);  // one second of ring
    EXPECT_EQ(longer->State, kSoundReady);
}

TEST_F(SoundObjectTest, RefusalsAndSetUpFailures) {
    test::TLogCapture log;
    const TBytes wave = test::WaveFile(kMono, test::CounterPcm16(10, 1));
    try {
        TzkDSoundFile::CreateFromStream(*sound_, 2000, kBufferStreamed, wave, "m");
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Can't use a stream source for a streamed sound");
    }
    TzkDSoundFile* stream = Streamed(wave);
    try {
        TzkDSoundFile::CreateDuplicate(*stream);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Can't duplicate a streaming buffer");
    }
    codec::TWaveFormat adpcm = kMono;
    adpcm.Fmt.wFormatTag = 2;
    struct TCase {
        const char* what;
        TBytes wave;
        std::uint8_t state;
        const char* error;
    };
    const TCase cases[] = {
        {"not a wave file", TBytes(40, 'x'), kSoundSourceFailed, "Not a wave file!"},
        {"an unknown compression", test::WaveFile(adpcm, TBytes(10, 0)), kSoundDecodeFailed,
         "Can't suggest pcm format (512). format=2 cbSize=0"},
        {"no samples at all", test::WaveFile(kMono, TBytes()), kSoundSourceFailed, "Invalid parameter"},
    };
    for (const TCase& c : cases) {
        TzkDSoundFile* s = Static(c.wave, "Bad");
        EXPECT_EQ(s->State, c.state) << c.what;
        EXPECT_EQ(s->ErrorText, c.error) << c.what;
        EXPECT_FALSE(s->Buffer) << c.what;
        s->Play();
        TzkDSoundFile* d = TzkDSoundFile::CreateDuplicate(*s);
        EXPECT_EQ(d->State, c.state) << c.what;
        EXPECT_FALSE(d->Buffer) << c.what;
    }
    // The buffer refusal is logged by the check as it happens.
    const std::string text = log.Text();
    EXPECT_NE(text.find("* Error: Can't duplicate a streaming buffer\r\n"), std::string::npos);
    EXPECT_NE(text.find("* Msg 80070057: Invalid parameter CreateSoundBuffer\r\n"), std::string::npos);
    for (const TCase& c : cases)
        EXPECT_NE(text.find("* Warning: Error in sound \"bad\": " + std::string(c.error) + "\r\n"), std::string::npos)
            << c.what;
}

TEST_F(SoundObjectTest, FileSourcesUseTheWaveExtensionAndNameInLowerCase) {
    const TBytes wave = test::WaveFile(kMono, test::CounterPcm16(10, 1));
    dir_.Write("Theme.wav", std::string(wave.begin(), wave.end()));
    TzkDSoundFile* s = TzkDSoundFile::CreateFromFile(*sound_, 2000, kBufferStatic, dir_ / "Theme.mp3");
    EXPECT_EQ(s->State, kSoundReady);
    EXPECT_EQ(s->Name, "theme");
    EXPECT_EQ(s->FileName, dir_ / "Theme.mp3");
    TzkDSoundFile* longName = TzkDSoundFile::CreateFromFile(*sound_, 2000, kBufferStatic, std::string(3000, 'a'));
    EXPECT_EQ(longName->FileName.size(), 2000u);
    EXPECT_EQ(longName->State, kSoundSourceFailed);
    EXPECT_EQ(longName->ErrorText, "Can't open file stream.");
}

TEST_F(SoundObjectTest, LoopingStreamRefilledEveryFrameNeverRunsDryOrRepeats) {
    // 1.2 s of distinct values through a 1 s ring, for more than three laps.
    const std::uint32_t frames = 52920;
    TzkDSoundFile* s = Streamed(test::WaveFile(kMono, test::CounterPcm16(frames, 1)));
    ASSERT_EQ(s->State, kSoundReady);
    EXPECT_EQ(s->BufferSize, 88200u);
    EXPECT_EQ(s->Buffer->Flags(), 0x100E0u);
    s->Looping = true;
    s->Play();
    EXPECT_TRUE(s->Playing);
    std::uint32_t expected = 0;
    for (int f = 0; f < 400; ++f) {
        for (std::int16_t v : Frame()) {
            ASSERT_EQ(v, test::Counter(expected % frames)) << "frame " << f << " sample " << expected;
            ++expected;
        }
    }
    EXPECT_FALSE(s->DataEnded);
    EXPECT_TRUE(s->Playing);
}

TEST_F(SoundObjectTest, StreamStopsOnceItsDataHasPlayed) {
    const std::uint32_t frames = 57330;  // 1.3 s
    TzkDSoundFile* s = Streamed(test::WaveFile(kMono, test::CounterPcm16(frames, 1)));
    s->Play();
    std::uint32_t played = 0;
    int frame = 0;
    while (s->Playing && frame < 300) {
        const auto out = Frame();
        for (std::int16_t v : out) {
            if (played < frames) {
                ASSERT_EQ(v, test::Counter(played)) << played;
            } else {
                ASSERT_EQ(v, 0) << played;  // silence after the data
            }
            ++played;
        }
        ++frame;
    }
    EXPECT_FALSE(s->Playing);
    EXPECT_EQ(Status(*s), 0u);
    // Not before the data has played, and at most one refill (50 ms) plus a
    // frame after it.
    EXPECT_GE(played, frames);
    EXPECT_LE(played, frames + 2205 + 441);
    // Stopped, it holds the start of the data again.
    EXPECT_TRUE(s->Prepared);
    EXPECT_EQ(test::AsSamples(Ring(*s))[0], test::Counter(0));
}

TEST_F(SoundObjectTest, EndedStreamFillsTheRingWithSilenceOfItsSampleSize) {
    struct TCase {
        std::uint16_t bits;
        std::uint8_t silence;
    };
    for (const TCase& c : {TCase{8, 128}, TCase{16, 0}}) {
        const codec::TWaveFormat f = MakePcmFormat(1, 8000, c.bits);
        const TBytes data(100, 7);
        TzkDSoundFile* s = Streamed(test::WaveFile(f, data), "short" + std::to_string(c.bits));
        ASSERT_EQ(s->State, kSoundReady);
        EXPECT_TRUE(s->DataEnded);
        EXPECT_EQ(s->EndPos, 100u);
        const TBytes ring = Ring(*s);
        EXPECT_EQ(TBytes(ring.begin(), ring.begin() + 100), data);
        EXPECT_EQ(TBytes(ring.begin() + 100, ring.end()), TBytes(ring.size() - 100, c.silence)) << c.bits;
    }
}

TEST_F(SoundObjectTest, ShortLoopingSourceIsRewoundWithinOneRefill) {
    TzkDSoundFile* s = Streamed(test::WaveFile(kMono, test::CounterPcm16(10, 1)));
    s->Looping = true;
    s->Stop();  // prepares the ring again, now looping
    EXPECT_FALSE(s->DataEnded);
    const std::vector<std::int16_t> ring = test::AsSamples(Ring(*s));
    for (std::size_t i = 0; i < ring.size(); ++i) ASSERT_EQ(ring[i], test::Counter(static_cast<std::uint32_t>(i % 10))) << i;

    // An empty looping source ends instead of rewinding for ever.
    TzkDSoundFile* empty = Streamed(test::WaveFile(kMono, TBytes()), "empty");
    ASSERT_EQ(empty->State, kSoundReady);
    empty->Looping = true;
    empty->Stop();
    EXPECT_TRUE(empty->DataEnded);
    EXPECT_EQ(Ring(*empty), TBytes(empty->BufferSize, 0));
}

TEST_F(SoundObjectTest, PauseResumesAndStopStartsOver) {
    TzkDSoundFile* s = Streamed(test::WaveFile(kMono, test::CounterPcm16(80000, 1)));
    s->Play();
    Frame();
    Frame();
    s->Pause();
    EXPECT_TRUE(s->Paused);
    EXPECT_EQ(Frame(), std::vector<std::int16_t>(441, 0));
    s->Play();
    EXPECT_TRUE(s->Paused);  // stays set after resuming
    EXPECT_EQ(Frame(), CounterValues(882, 441));
    s->Stop();
    EXPECT_FALSE(s->Paused);
    EXPECT_FALSE(s->Playing);
    s->Play();
    EXPECT_EQ(Frame(), CounterValues(0, 441));
}

TEST_F(SoundObjectTest, LostStaticSoundIsRestoredAndRefilledFromItsOwnCopy) {
    const TBytes pcm = test::CounterPcm16(300, 1);
    TzkDSoundFile* s;
    {
        TBytes callerStream = test::WaveFile(kMono, pcm);
        s = Static(callerStream);
        std::fill(callerStream.begin(), callerStream.end(), 0xEE);
    }  // the caller's stream is gone
    TzkDSoundFile* twin = TzkDSoundFile::CreateDuplicate(*s);
    sound_->DirectSound->SimulateLossOfAll();
    s->Play();
    EXPECT_FALSE(s->Lost);
    EXPECT_EQ(Ring(*s), pcm);
    EXPECT_EQ(Frame(), [&] {
        auto v = CounterValues(0, 300);
        v.resize(441, 0);
        return v;
    }());
    // The duplicate shares the refilled memory but restores its own state.
    twin->Play();
    EXPECT_FALSE(twin->Lost);
    EXPECT_EQ(std::vector<std::int16_t>(Frame()).front(), test::Counter(0));
}

TEST_F(SoundObjectTest, LostPlayingLoopIsRestartedFromTheStart) {
    TzkDSoundFile* s = Streamed(test::WaveFile(kMono, test::CounterPcm16(60000, 1)));
    s->Looping = true;
    s->Play();
    for (int i = 0; i < 9; ++i) Frame();
    // Lost between mixing and the next refill: the refill finds it lost,
    // marks it and raises nothing.
    null_->Render(441);
    sound_->DirectSound->SimulateLoss(*s->Buffer);
    clock_.AdvanceMilliseconds(10);
    EXPECT_NO_THROW(sound_->ResumeStreams());
    EXPECT_TRUE(s->Lost);
    EXPECT_FALSE(s->CheckLost());
    EXPECT_FALSE(s->Lost);
    EXPECT_TRUE(s->Playing);
    EXPECT_EQ(Status(*s), audio::DSBSTATUS_PLAYING | audio::DSBSTATUS_LOOPING);
    EXPECT_EQ(Frame(), CounterValues(0, 441));
}

TEST_F(SoundObjectTest, RefusedRestoreLeavesTheSoundLostAndSilent) {
    TzkDSoundFile* s = Static(test::WaveFile(kMono, test::CounterPcm16(300, 1)));
    sound_->DirectSound->SimulateLoss(*s->Buffer);
    sound_->DirectSound->RefuseRestore(true);
    EXPECT_NO_THROW(s->Play());
    EXPECT_TRUE(s->Lost);
    EXPECT_EQ(Frame(), std::vector<std::int16_t>(441, 0));
    sound_->DirectSound->RefuseRestore(false);
    s->Play();
    EXPECT_FALSE(s->Lost);
    EXPECT_EQ(Frame()[0], test::Counter(0));
}

TEST_F(SoundObjectTest, TwoVoicesOfOneEffectOverlap) {
    TzkDSoundFile* a = Static(test::WaveFile(kMono, test::AsBytes(std::vector<std::int16_t>(882, 1000))));
    TzkDSoundFile* b = TzkDSoundFile::CreateDuplicate(*a);
    ASSERT_EQ(b->State, kSoundReady);
    a->Play();
    Frame();
    b->Play();
    EXPECT_EQ(Frame(), std::vector<std::int16_t>(441, 2000));
    EXPECT_EQ(Frame(), std::vector<std::int16_t>(441, 1000));
    b->SetVolume(-10000);
    b->Stop();
    b->Play();
    EXPECT_EQ(Frame(), std::vector<std::int16_t>(441, 0));
}

TEST_F(SoundObjectTest, DestructorFreesTheSoundsLeftLastFirst) {
    const TBytes wave = test::WaveFile(kMono, test::CounterPcm16(10, 1));
    TzkDSoundFile* a = Static(wave);
    TzkDSoundFile* b = Static(wave);
    TzkDSoundFile* c = TzkDSoundFile::CreateDuplicate(*a);
    EXPECT_EQ(sound_->Sounds, (std::vector<TzkDSoundFile*>{a, b, c}));
    delete b;
    EXPECT_EQ(sound_->Sounds, (std::vector<TzkDSoundFile*>{a, c}));
    sound_.reset();  // frees c, then a; ASan reports anything left over
}

}  // namespace qv
