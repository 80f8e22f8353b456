#include <gtest/gtest.h>

#include <cmath>

#include "media/WaveRead.h"
#include "platform/codec/Acm.h"
#include "tests/sound/SoundFixtures.h"

namespace qv {

namespace {

using test::TBytes;

TBytes ReadAll(TWavePCMReader& r, std::int32_t piece) {
    TBytes out, buf(static_cast<std::size_t>(piece));
    for (;;) {
        const std::int32_t n = r.Read(buf.data(), piece);
        if (n <= 0) break;
        out.insert(out.end(), buf.begin(), buf.begin() + n);
    }
    return out;
}

std::string DecodeError(const TBytes& file) {
    try {
        TCustomMemoryWaveReadStream source(file.data(), file.size());
        TWavePCMReader reader(source, nullptr);
        ReadAll(reader, 1 << 16);
    } catch (const Exception& e) {
        return e.what();
    }
    return "<no error>";
}

// A driver loaded from a codec file, as the sound object loads it.
struct TLoadedDriver {
    test::TempDir dir;
    codec::HCODECMODULE module = nullptr;
    codec::HACMDRIVERID id = nullptr;
    codec::HACMDRIVER driver = nullptr;
    TLoadedDriver() {
        const std::string path = dir.Write("l3codecx.acm", codec::CodecDescriptor());
        module = codec::LoadCodecModule(path);
        EXPECT_EQ(codec::acmDriverAdd(&id, module, codec::GetCodecProc(module, "DriverProc"), 0,
                                      codec::ACM_DRIVERADDF_FUNCTION),
                  codec::MMSYSERR_NOERROR);
        EXPECT_EQ(codec::acmDriverOpen(&driver, id, 0), codec::MMSYSERR_NOERROR);
    }
    ~TLoadedDriver() {
        codec::acmDriverClose(driver, 0);
        codec::acmDriverRemove(id, 0);
        codec::FreeCodecModule(module);
    }
};

}  // namespace

class Mp3DecodeTest : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(Mp3DecodeTest, DecodesEveryFrameToPcmOfTheTone) {
    const std::uint16_t channels = GetParam();
    const test::TMp3Wave mp3 = test::MakeMp3Wave(1.3, 44100, channels, 128, 440.0, 10000.0);
    TLoadedDriver loaded;
    for (codec::HACMDRIVER driver : {loaded.driver, static_cast<codec::HACMDRIVER>(nullptr)}) {
        TCustomMemoryWaveReadStream source(mp3.File.data(), mp3.File.size());
        TWavePCMReader reader(source, driver);
        EXPECT_EQ(reader.PCMFormat(), codec::MakePcmFormat(channels, 44100, 16));
        const TBytes pcm = ReadAll(reader, 1 << 16);
        EXPECT_EQ(pcm.size(), mp3.PcmBytes);
        // The size known before decoding is an estimate within a percent.
        EXPECT_NEAR(static_cast<double>(reader.PCMSize), static_cast<double>(mp3.PcmBytes), mp3.PcmBytes * 0.01);
        // Away from the encoder's start and end the tone keeps its level.
        const std::vector<std::int16_t> s = test::AsSamples(pcm);
        const std::size_t skip = 4096 * channels;
        const std::span<const std::int16_t> middle(s.data() + skip, s.size() - 2 * skip);
        EXPECT_NEAR(test::Rms(middle), 10000.0 / std::sqrt(2.0), 700.0);
    }
}

INSTANTIATE_TEST_SUITE_P(Channels, Mp3DecodeTest, ::testing::Values(1, 2));

TEST(Mp3ReadTest, SmallReadsGiveEveryByteOnceInOrder) {
    const test::TMp3Wave mp3 = test::MakeMp3Wave(1.0, 44100, 2, 96, 1000.0, 8000.0);
    TCustomMemoryWaveReadStream a(mp3.File.data(), mp3.File.size());
    TWavePCMReader whole(a, nullptr);
    const TBytes expected = ReadAll(whole, 1 << 22);
    ASSERT_EQ(expected.size(), mp3.PcmBytes);

    TCustomMemoryWaveReadStream b(mp3.File.data(), mp3.File.size());
    TWavePCMReader pieces(b, nullptr);
    // 333 rounds down to whole frames of 4 bytes.
    TBytes buf(333), got;
    for (;;) {
        const std::int32_t n = pieces.Read(buf.data(), 333);
        if (n <= 0) break;
        EXPECT_EQ(n % 4, 0);
        got.insert(got.end(), buf.begin(), buf.begin() + n);
    }
    EXPECT_EQ(got, expected);
}

TEST(Mp3ReadTest, RewindStartsTheDecodingAgain) {
    const test::TMp3Wave mp3 = test::MakeMp3Wave(1.0, 22050, 1, 64, 300.0, 9000.0);
    TCustomMemoryWaveReadStream source(mp3.File.data(), mp3.File.size());
    TWavePCMReader reader(source, nullptr);
    TBytes first(30000), again(30000);
    ASSERT_EQ(reader.Read(first.data(), 30000), 30000);
    reader.Rewind();
    ASSERT_EQ(reader.Read(again.data(), 30000), 30000);
    EXPECT_EQ(again, first);
    const TBytes rest = ReadAll(reader, 7000);
    EXPECT_EQ(rest.size() + 30000, mp3.PcmBytes);
}

TEST(Mp3ReadTest, CorruptDataFailsWithTheReadersTexts) {
    const test::TMp3Wave good = test::MakeMp3Wave(0.5, 44100, 2, 128, 440.0, 8000.0);
    const test::TMp3Wave wrongRate = test::MakeMp3Wave(0.5, 44100, 2, 128, 440.0, 8000.0, 22050);

    codec::TWaveFormat noFields = good.Format;
    noFields.Extra.clear();
    codec::TWaveFormat badId = good.Format;
    badId.Extra[0] = 7;
    test::TRiffBuilder garbage;
    TBytes noise(20000);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>((i * 37 + 11) % 251);
    // No frame sync anywhere: 0xFF never appears.
    const TBytes garbageFile = garbage.Chunk("fmt ", good.Format.ToBytes()).Chunk("data", noise).Build();

    struct TCase {
        const char* what;
        TBytes file;
        const char* error;
    };
    const TCase cases[] = {
        {"no layer-3 fields", test::WaveFile(noFields, TBytes(4000, 0)), "Can't suggest pcm format (512). format=85 cbSize=0"},
        {"an unknown layer-3 id", test::WaveFile(badId, TBytes(4000, 0)), "Can't suggest pcm format (512). format=85 cbSize=12"},
        {"a stream of another rate", wrongRate.File, "Unable to convert sample."},
        {"no frames at all", garbageFile, "Unable to convert sample."},
    };
    for (const TCase& c : cases) EXPECT_EQ(DecodeError(c.file), c.error) << c.what;

    // A cut-off file just ends early.
    TBytes cut(good.File.begin(), good.File.begin() + static_cast<std::ptrdiff_t>(good.File.size() / 2));
    TCustomMemoryWaveReadStream source(cut.data(), cut.size());
    TWavePCMReader reader(source, nullptr);
    const std::size_t got = ReadAll(reader, 1 << 16).size();
    EXPECT_GT(got, 0u);
    EXPECT_LT(got, good.PcmBytes);
}

TEST(AcmTest, ConversionStreamsCheckTheirHandlesAndHeaders) {
    const test::TMp3Wave mp3 = test::MakeMp3Wave(0.2, 44100, 1, 64, 440.0, 8000.0);
    codec::TWaveFormat pcm;
    pcm.Fmt.wFormatTag = codec::WAVE_FORMAT_PCM;
    ASSERT_EQ(codec::acmFormatSuggest(nullptr, mp3.Format, pcm, 30, codec::ACM_FORMATSUGGESTF_WFORMATTAG),
              codec::MMSYSERR_NOERROR);
    codec::HACMSTREAM stream = nullptr;
    ASSERT_EQ(codec::acmStreamOpen(&stream, nullptr, mp3.Format, pcm, nullptr, 0, 0, 0), codec::MMSYSERR_NOERROR);
    TBytes src(100), dst(100);
    codec::ACMSTREAMHEADER h;
    h.pbSrc = src.data();
    h.cbSrcLength = 100;
    h.pbDst = dst.data();
    h.cbDstLength = 100;
    EXPECT_EQ(codec::acmStreamConvert(stream, &h, 0), codec::ACMERR_UNPREPARED);
    ASSERT_EQ(codec::acmStreamPrepareHeader(stream, &h, 0), codec::MMSYSERR_NOERROR);
    h.cbSrcLength = 200;
    EXPECT_EQ(codec::acmStreamConvert(stream, &h, 0), codec::MMSYSERR_INVALPARAM);
    h.cbSrcLength = 100;
    EXPECT_EQ(codec::acmStreamUnprepareHeader(stream, &h, 0), codec::MMSYSERR_NOERROR);
    EXPECT_EQ(codec::acmStreamClose(stream, 0), codec::MMSYSERR_NOERROR);
    EXPECT_EQ(codec::acmStreamClose(stream, 0), codec::MMSYSERR_INVALHANDLE);
    std::uint32_t size = 0;
    EXPECT_EQ(codec::acmStreamSize(stream, 100, size, 0), codec::MMSYSERR_INVALHANDLE);
}

}  // namespace qv
