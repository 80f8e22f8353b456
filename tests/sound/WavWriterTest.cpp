#include <gtest/gtest.h>

#include "media/zkDSound.h"
#include "platform/system/Files.h"
#include "tests/sound/SoundFixtures.h"

namespace qv {

namespace {

using codec::MakePcmFormat;
using test::TBytes;

std::uint32_t U32At(const TBytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

TBytes ReadFile(const std::string& path) { return sys::ReadFileBytes(path).value_or(TBytes()); }

// The samples of a WAV file, after checking that its sizes add up.
TBytes CheckedData(const TBytes& file) {
    EXPECT_EQ(file.size() % 2, 0u);
    EXPECT_EQ(U32At(file, 4), file.size() - 8);
    TCustomMemoryWaveReadStream r(file.data(), file.size());
    TBytes data(r.DataSize);
    EXPECT_EQ(r.Read(data.data(), static_cast<std::int32_t>(data.size())), static_cast<std::int32_t>(data.size()));
    return data;
}

// A memory file that is full beyond `limit` bytes: writes that would grow
// it further fail, overwrites succeed.
class TFullStorage final : public codec::TMemoryStorage {
public:
    explicit TFullStorage(std::size_t limit) : limit_(limit) {}
    std::int64_t Write(const void* data, std::size_t count) override {
        if (pos_ + count > limit_ && pos_ + count > data_.size()) return -1;
        return TMemoryStorage::Write(data, count);
    }

private:
    std::size_t limit_;
};

class WavWriterTest : public ::testing::Test {
protected:
    TzkDSound sound_{nullptr, audio::DSSCL_PRIORITY, nullptr, std::make_unique<audio::TNullAudioBackend>()};
    test::TempDir dir_;
};

}  // namespace

TEST_F(WavWriterTest, PcmSourcesAreWrittenAsTheyAre) {
    struct TCase {
        codec::TWaveFormat format;
        std::size_t bytes;
        std::size_t fileSize;
    };
    const TCase cases[] = {
        {MakePcmFormat(2, 44100, 16), 10000, 46 + 10000},
        {MakePcmFormat(1, 8000, 8), 0, 46},       // an empty data chunk
        {MakePcmFormat(1, 8000, 8), 4097, 46 + 4098},  // odd: one pad byte
    };
    for (const TCase& c : cases) {
        TBytes pcm(c.bytes);
        for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i * 13);
        const TBytes wave = test::WaveFile(c.format, pcm);
        TCustomMemoryWaveReadStream source(wave.data(), wave.size());
        const std::string path = dir_ / "out.wav";
        sound_.ConvertToPCMFile(source, path);
        const TBytes file = ReadFile(path);
        EXPECT_EQ(file.size(), c.fileSize) << c.bytes;
        EXPECT_EQ(U32At(file, 16), 18u);  // fmt chunk with its cbSize field
        EXPECT_EQ(U32At(file, 42), c.bytes);
        EXPECT_EQ(CheckedData(file), pcm);
        TCustomMemoryWaveReadStream back(file.data(), file.size());
        EXPECT_EQ(back.Format, c.format);
    }
}

TEST_F(WavWriterTest, Mp3SourceBecomesAPcmFileOfTheDecodedSize) {
    const test::TMp3Wave mp3 = test::MakeMp3Wave(1.0, 44100, 2, 128, 440.0, 9000.0);
    TCustomMemoryWaveReadStream source(mp3.File.data(), mp3.File.size());
    sound_.ConvertToPCMFile(source, dir_ / "music.wav");
    const TBytes file = ReadFile(dir_ / "music.wav");
    EXPECT_EQ(file.size(), 46u + mp3.PcmBytes);
    TCustomMemoryWaveReadStream decoded(mp3.File.data(), mp3.File.size());
    TWavePCMReader reader(decoded, nullptr);
    TBytes expected(mp3.PcmBytes);
    ASSERT_EQ(reader.Read(expected.data(), static_cast<std::int32_t>(expected.size())),
              static_cast<std::int32_t>(mp3.PcmBytes));
    EXPECT_EQ(CheckedData(file), expected);
}

TEST_F(WavWriterTest, FailureInTheMiddleStillClosesTheChunks) {
    test::TLogCapture log;
    TBytes pcm(20000);
    for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::uint8_t>(i);
    const TBytes wave = test::WaveFile(MakePcmFormat(1, 8000, 8), pcm);
    TCustomMemoryWaveReadStream source(wave.data(), wave.size());
    // Closing the handle releases its storage: keep what was written.
    TBytes written;
    struct TKeep final : codec::IMmioStorage {
        TFullStorage* inner;
        TBytes* out;
        std::int64_t Read(void* b, std::size_t n) override { return inner->Read(b, n); }
        std::int64_t Write(const void* d, std::size_t n) override { return inner->Write(d, n); }
        std::int64_t Seek(std::int64_t o, int w) override { return inner->Seek(o, w); }
        bool Flush() override {
            *out = inner->Data();
            return true;
        }
        codec::FOURCC IOProc() const override { return inner->IOProc(); }
    };
    auto keep = std::make_unique<TKeep>();
    auto inner = std::make_unique<TFullStorage>(46 + 4096 * 2 + 100);
    keep->inner = inner.get();
    keep->out = &written;
    codec::TMmio failing(std::move(keep));
    try {
        sound_.ConvertToPCM(source, failing);
        ADD_FAILURE() << "a full disk went unnoticed";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Error writing PCM data");
    }
    EXPECT_NE(log.Text().find("* Error: Error writing PCM data\r\n"), std::string::npos);
    ASSERT_EQ(written.size(), 46u + 4096 * 2);
    EXPECT_EQ(CheckedData(written), TBytes(pcm.begin(), pcm.begin() + 4096 * 2));
}

TEST_F(WavWriterTest, UnwritableTargetIsReported) {
    const TBytes wave = test::WaveFile(MakePcmFormat(1, 8000, 8), TBytes(10, 1));
    TCustomMemoryWaveReadStream source(wave.data(), wave.size());
    try {
        sound_.ConvertToPCMFile(source, dir_ / "no/such/folder/out.wav");
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Error creating chunk wave.");
    }
}

}  // namespace qv
