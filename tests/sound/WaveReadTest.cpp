#include <gtest/gtest.h>

#include <sstream>

#include "media/WaveRead.h"
#include "platform/resources/ResourceContainer.h"
#include "platform/resources/ResourcePackWriter.h"
#include "tests/sound/SoundFixtures.h"

namespace qv {

namespace {

using codec::MakePcmFormat;
using test::TBytes;
using test::TRiffBuilder;

std::string ParseError(const TBytes& file) {
    try {
        TCustomMemoryWaveReadStream reader(file.data(), file.size());
    } catch (const Exception& e) {
        return e.what();
    }
    return "<no error>";
}

TBytes Bytes(std::initializer_list<int> values) {
    TBytes b;
    for (int v : values) b.push_back(static_cast<std::uint8_t>(v));
    return b;
}

TBytes ReadAll(TWaveReadStream& s, std::int32_t piece) {
    TBytes out, buf(static_cast<std::size_t>(piece));
    for (;;) {
        const std::int32_t n = s.Read(buf.data(), piece);
        if (n <= 0) break;
        out.insert(out.end(), buf.begin(), buf.begin() + n);
    }
    return out;
}

const codec::TWaveFormat kStereo16 = MakePcmFormat(2, 44100, 16);

}  // namespace

TEST(WaveReadTest, HeaderFaultsAreReportedWithTheirTexts) {
    codec::TWaveFormat noAlign = kStereo16;
    noAlign.Fmt.nBlockAlign = 0;
    codec::TWaveFormat noRate = kStereo16;
    noRate.Fmt.nAvgBytesPerSec = 0;
    const TBytes pcm = test::CounterPcm16(8, 2);
    struct TCase {
        const char* what;
        TBytes file;
        const char* error;
    };
    const TCase cases[] = {
        {"shorter than a chunk header", Bytes({'R', 'I', 'F', 'F', 4}), "Invalid multimedia file!"},
        {"an AVI file", TRiffBuilder("AVI ").Chunk("fmt ", kStereo16.ToBytes()).Build(), "Not a wave file!"},
        {"a LIST first", TRiffBuilder("WAVE").Chunk("fmt ", kStereo16.ToBytes()).Build("LIST"), "Not a wave file!"},
        {"no format chunk", TRiffBuilder().Chunk("data", pcm).Build(), "Couldn't find 'fmt' chunk!"},
        {"format cut short", TRiffBuilder().RawChunk("fmt ", 18, Bytes({1, 0, 2})).Build(), "Error reading 'fmt' chunk!"},
        {"a huge format chunk", TRiffBuilder().RawChunk("fmt ", 0x7FFFFFF0, kStereo16.ToBytes()).Build(),
         "Error reading 'fmt' chunk!"},
        {"block align 0", test::WaveFile(noAlign, pcm), "Invalid wave format!"},
        {"byte rate 0", test::WaveFile(noRate, pcm), "Invalid wave format!"},
        {"no data chunk", TRiffBuilder().Chunk("fmt ", kStereo16.ToBytes()).Chunk("LIST", Bytes({1, 2, 3})).Build(),
         "Couldn't find 'data' chunk!"},
    };
    for (const TCase& c : cases) EXPECT_EQ(ParseError(c.file), c.error) << c.what;
}

TEST(WaveReadTest, ChunksAreFoundInAnyOrderPastOddSizedOnes) {
    const TBytes pcm = test::CounterPcm16(100, 2);
    const TBytes files[] = {
        test::WaveFile(kStereo16, pcm),
        TRiffBuilder().Chunk("data", pcm).Chunk("fmt ", kStereo16.ToBytes()).Build(),
        TRiffBuilder().Chunk("JUNK", Bytes({9, 9, 9})).Chunk("data", pcm).Chunk("LIST", Bytes({7})).Chunk("fmt ", kStereo16.ToBytes()).Build(),
    };
    for (const TBytes& f : files) {
        TCustomMemoryWaveReadStream r(f.data(), f.size());
        EXPECT_EQ(r.Format, kStereo16);
        EXPECT_EQ(r.DataSize, pcm.size());
        EXPECT_EQ(ReadAll(r, 4096), pcm);
    }
}

TEST(WaveReadTest, ShortFormatRecordHasNoExtraBytes) {
    const TBytes f = TRiffBuilder().Chunk("fmt ", test::ShortFormatRecord(kStereo16)).Chunk("data", test::CounterPcm16(4, 2)).Build();
    TCustomMemoryWaveReadStream r(f.data(), f.size());
    EXPECT_EQ(r.Format.Fmt.cbSize, 0);
    EXPECT_TRUE(r.Format.Extra.empty());
    EXPECT_EQ(r.Format.Fmt.nBlockAlign, 4);
}

TEST(WaveReadTest, ReadsWholeBlocksAndStopsAtTheDataChunkEnd) {
    const TBytes pcm = test::CounterPcm16(1000, 2);
    // Trailing metadata must never be played as samples.
    const TBytes f = TRiffBuilder().Chunk("fmt ", kStereo16.ToBytes()).Chunk("data", pcm).Chunk("LIST", TBytes(64, 0x55)).Build();
    TCustomMemoryWaveReadStream r(f.data(), f.size());
    TBytes buf(2000);
    EXPECT_EQ(r.Read(buf.data(), 1001), 1000);
    EXPECT_EQ(r.Read(buf.data(), 3), 0);
    EXPECT_EQ(r.Read(buf.data(), 2000), 2000);
    EXPECT_EQ(r.Read(buf.data(), 2000), 1000);
    EXPECT_EQ(r.Read(buf.data(), 2000), 0);
    r.Rewind();
    EXPECT_EQ(ReadAll(r, 333), pcm);
}

TEST(WaveReadTest, DataClaimedBeyondTheFileComesBackShort) {
    const TBytes pcm = test::CounterPcm16(10, 2);
    const TBytes f = TRiffBuilder().Chunk("fmt ", kStereo16.ToBytes()).RawChunk("data", 1u << 30, pcm).Build();
    TCustomMemoryWaveReadStream r(f.data(), f.size());
    EXPECT_EQ(r.DataSize, 1u << 30);
    EXPECT_EQ(ReadAll(r, 4096), pcm);
}

TEST(WaveReadTest, StreamFileAndResourceSources) {
    const TBytes pcm = test::CounterPcm16(50, 2);
    const TBytes f = test::WaveFile(kStereo16, pcm);

    std::istringstream in(std::string(3, 'x') + std::string(f.begin(), f.end()));
    in.seekg(3);
    TStreamWaveReadStream copied(in);
    EXPECT_TRUE(copied.OwnsStream);
    EXPECT_EQ(ReadAll(copied, 100), pcm);

    TStreamWaveReadStream inPlace{std::span<const std::uint8_t>(f)};
    EXPECT_FALSE(inPlace.OwnsStream);
    EXPECT_EQ(ReadAll(inPlace, 100), pcm);

    test::TempDir dir;
    const std::string path = dir.Write("tone.wav", std::string(f.begin(), f.end()));
    TFileWaveReadStream file(path);
    EXPECT_EQ(ReadAll(file, 100), pcm);
    try {
        TFileWaveReadStream missing(dir / "missing.wav");
        ADD_FAILURE() << "a missing file opened";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Can't open file stream.");
    }

    sys::TResourcePackWriter pack;
    pack.Add("DATA", "Tone.wav", std::span<const std::uint8_t>(f));
    auto module = sys::TResourceContainer::OpenMemory(pack.Build());
    TResourceWaveReadStream resource(*module, "tone.wav", "DATA");
    EXPECT_EQ(ReadAll(resource, 100), pcm);
}

TEST(WaveReadTest, MissingResourceIsLoggedAndRaised) {
    test::TLogCapture log;
    sys::TResourcePackWriter pack;
    pack.Add("DATA", "other.wav", std::string_view("x"));
    auto module = sys::TResourceContainer::OpenMemory(pack.Build());
    EXPECT_THROW(TResourceWaveReadStream(*module, "tone.wav", "DATA"), EResNotFound);
    EXPECT_EQ(log.Text(), "* Error: Resource not found\r\n");
}

TEST(WaveReadTest, PcmReaderPassesPcmThroughWithItsExactSize) {
    const codec::TWaveFormat mono8 = MakePcmFormat(1, 8000, 8);
    const TBytes data = {1, 2, 3, 4, 5, 6, 7};
    const TBytes f = test::WaveFile(mono8, data);
    TCustomMemoryWaveReadStream source(f.data(), f.size());
    TWavePCMReader reader(source, nullptr);
    EXPECT_EQ(reader.PCMFormat(), mono8);
    EXPECT_EQ(reader.PCMSize, 7u);
    TBytes buf(16);
    EXPECT_EQ(reader.Read(buf.data(), 16), 7);
    reader.Rewind();
    EXPECT_EQ(reader.Read(buf.data(), 3), 3);
    EXPECT_EQ(buf[0], 1);
}

TEST(WaveReadTest, UnknownCompressedFormatCannotBeSuggested) {
    codec::TWaveFormat adpcm = MakePcmFormat(1, 22050, 4);
    adpcm.Fmt.wFormatTag = 2;
    adpcm.Fmt.nBlockAlign = 512;
    adpcm.Fmt.nAvgBytesPerSec = 11155;
    adpcm.Extra = TBytes(32, 0);
    const TBytes f = test::WaveFile(adpcm, TBytes(1024, 0));
    TCustomMemoryWaveReadStream source(f.data(), f.size());
    try {
        TWavePCMReader reader(source, nullptr);
        ADD_FAILURE() << "an ADPCM source was accepted";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Can't suggest pcm format (512). format=2 cbSize=32");
    }
}

}  // namespace qv
