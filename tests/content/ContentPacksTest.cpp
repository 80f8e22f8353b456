// The packs the build made, read back with the game's own readers: every
// resource the game opens is there, the scenarios pass the package check,
// the levels, environment files and music decode as the game reads them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "foundation/Random.h"
#include "game/data/qv3CreatureTypes.h"
#include "game/assets/qv3Graphics.h"
#include "game/data/qv3LevelData.h"
#include "game/data/qv3RandomSource.h"
#include "game/assets/qv3Resources.h"
#include "game/data/qv3ScenarioConfig.h"
#include "media/WaveRead.h"
#include "platform/resources/ResourceContainer.h"
#include "platform/system/Files.h"
#include "tests/support/TempDir.h"
#include "tools/qvgen/Mp3Wave.h"
#include "tools/qvgen/Sounds.h"

namespace qv {
namespace {

using TBytes = std::vector<std::uint8_t>;

const std::vector<std::string> kScenarioFiles = {"environment.txt", "1.lvl", "1001.lvl", "1002.lvl", "1.scn", "decor.bnd"};

class ContentPacksTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        program_ = sys::TResourceContainer::OpenFile(test::BinaryDir() + "quorvex.dat").release();
        package_ = sys::TResourceContainer::OpenFile(test::BinaryDir() + "scenario2.c3p").release();
    }
    static void TearDownTestSuite() {
        delete program_;
        delete package_;
        program_ = package_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(program_, nullptr) << "quorvex.dat was not built";
        ASSERT_NE(package_, nullptr) << "scenario2.c3p was not built";
    }

    // The container that holds a slot and its resource.
    static const sys::TResourceContainer& PackOf(int slot) { return slot == 2 ? *package_ : *program_; }
    static TBytes Scenario(int slot, const std::string& name) {
        auto bytes = PackOf(slot).Read(ScenarioResourceType(slot), name);
        EXPECT_TRUE(bytes.has_value()) << name << " of slot " << slot;
        return bytes.value_or(TBytes{});
    }
    static TBytes Data(const std::string& name) {
        auto bytes = program_->Read("DATA", name);
        EXPECT_TRUE(bytes.has_value()) << name;
        return bytes.value_or(TBytes{});
    }
    static TScenarioConfig Environment(int slot) {
        const TBytes text = Scenario(slot, "environment.txt");
        TScenarioConfig config;
        config.Load(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
        return config;
    }

    static sys::TResourceContainer* program_;
    static sys::TResourceContainer* package_;
};

sys::TResourceContainer* ContentPacksTest::program_ = nullptr;
sys::TResourceContainer* ContentPacksTest::package_ = nullptr;

TEST_F(ContentPacksTest, HoldEverySoundLanguageAndScenarioFileUnderItsType) {
    for (const std::string& name : gen::EffectNames()) EXPECT_TRUE(program_->Has("DATA", name + ".wav")) << name;
    for (const std::string& name : gen::MusicNames()) EXPECT_TRUE(program_->Has("DATA", name + ".wav")) << name;
    EXPECT_EQ(gen::EffectNames().size(), 36u);
    EXPECT_EQ(gen::EffectNames().front(), "Shoot");
    EXPECT_EQ(gen::EffectNames().back(), "Bubble");
    for (const char* lang : {"langENU.txt", "langDEU.txt", "langFRA.txt", "langITA.txt"})
        EXPECT_TRUE(program_->Has("DATA", lang)) << lang;
    for (int slot : {0, 1, 2})
        for (const std::string& name : kScenarioFiles)
            EXPECT_TRUE(PackOf(slot).Has(ScenarioResourceType(slot), name)) << name << " of slot " << slot;
    // The built-in scenarios live in the program's pack, the extra one only in its package.
    EXPECT_FALSE(program_->Has("SCENARIO2", "environment.txt"));
    for (const auto& e : package_->Entries()) EXPECT_EQ(e.Type, "SCENARIO2") << e.Name;
}

TEST_F(ContentPacksTest, HoldEveryPictureTheImageSetAndScreensLoad) {
    auto hasImage = [&](int slot, const std::string& name) {
        for (const char* ext : {".jpg", ".png"})
            if (PackOf(slot).Has(ScenarioResourceType(slot), name + ext) || program_->Has("DATA", name + ext)) return true;
        return false;
    };
    for (int slot : {0, 1, 2}) {
        for (const TGameTextureEntry& t : GameTextureTable) {
            EXPECT_TRUE(hasImage(slot, t.Name)) << t.Name << " for slot " << slot;
            if (t.Mask) {
                EXPECT_TRUE(hasImage(slot, t.Mask)) << t.Mask << " for slot " << slot;
            }
        }
        EXPECT_TRUE(PackOf(slot).Has(ScenarioResourceType(slot), "thumb.jpg")) << slot;
    }
    for (const char* name : {"loading1.jpg", "loading2.jpg", "loading3.jpg", "credits.jpg", "thumbmore.jpg"})
        EXPECT_TRUE(program_->Has("DATA", name)) << name;
}

TEST_F(ContentPacksTest, ResourceManagerOffersAllThreeScenariosAndTheirChecksPass) {
    test::TempDir folder;
    const std::optional<TBytes> package = sys::ReadFileBytes(test::BinaryDir() + "scenario2.c3p");
    ASSERT_TRUE(package.has_value());
    ASSERT_TRUE(sys::WriteFileAtomic(folder / "scenario2.c3p",
                                     std::string_view(reinterpret_cast<const char*>(package->data()), package->size())));
    TQVX3Resources resources(folder.Path(), test::BinaryDir() + "quorvex.dat");
    for (int slot = 0; slot < kScenarioSlots; ++slot) EXPECT_EQ(resources.ScenarioAvailable(slot), slot <= 2) << slot;
    for (int slot : {0, 1, 2}) {
        resources.SelectScenario(slot);
        ASSERT_EQ(resources.CurrentSlot(), slot);
        EXPECT_EQ(resources.Config().Number, slot);
        EXPECT_FALSE(resources.Title(slot).empty());
        // A name the scenario does not hold comes from the program's shared resources.
        EXPECT_FALSE(resources.OpenResource("Shoot.wav").empty());
        EXPECT_FALSE(resources.OpenResource("langENU.txt").empty());
    }
    std::set<std::string> titles;
    for (int slot : {0, 1, 2}) titles.insert(resources.Title(slot));
    EXPECT_EQ(titles.size(), 3u);
}

TEST_F(ContentPacksTest, EnvironmentFilesCarryNumberChecksumFontWidthsAndMusicSizes) {
    std::vector<std::int32_t> firstWidths;
    for (int slot : {0, 1, 2}) {
        SCOPED_TRACE(slot);
        const TScenarioConfig config = Environment(slot);
        EXPECT_EQ(config.Number, slot);
        EXPECT_EQ(static_cast<std::uint32_t>(config.Movement),
                  ScenarioChecksum(Scenario(slot, "1.lvl"), Scenario(slot, "1.scn"), slot));
        EXPECT_EQ(config.LevelLength, 90000);
        EXPECT_EQ(static_cast<std::uint32_t>(config.ScoreBonusColor), 0xFFFFFF00u);
        EXPECT_GE(config.Colors.size(), 1u);
        EXPECT_GT(config.CreationsPerMin, 0);
        std::vector<std::int32_t> widths;
        for (int i = 0; i < 67; ++i) widths.push_back(config.FontWidth(1, i));
        for (std::int32_t w : widths) EXPECT_TRUE(w > 0 && w <= 50) << w;
        if (firstWidths.empty()) firstWidths = widths;
        EXPECT_EQ(widths, firstWidths);  // one font, one width table
        for (const std::string& name : gen::MusicNames()) {
            std::int32_t size = 0;
            ASSERT_TRUE(config.SoundSize(name, size)) << name;
            EXPECT_EQ(size, gen::DecodedWaveFileSize(Data(name + ".wav"))) << name;
        }
    }
}

TEST_F(ContentPacksTest, MusicIsLayer3WaveThatDecodesToItsStatedSize) {
    const TScenarioConfig config = Environment(1);
    for (const std::string& name : gen::MusicNames()) {
        SCOPED_TRACE(name);
        const TBytes wave = Data(name + ".wav");
        TStreamWaveReadStream source(wave);
        EXPECT_EQ(source.Format.Fmt.wFormatTag, codec::WAVE_FORMAT_MPEGLAYER3);
        TWavePCMReader reader(source, nullptr);
        EXPECT_EQ(reader.PCMFormat(), codec::MakePcmFormat(2, 44100, 16));
        TBytes pcm;
        TBytes block(50000);
        for (std::int32_t got; (got = reader.Read(block.data(), static_cast<std::int32_t>(block.size()))) > 0;)
            pcm.insert(pcm.end(), block.begin(), block.begin() + got);
        std::int32_t size = 0;
        ASSERT_TRUE(config.SoundSize(name, size));
        EXPECT_EQ(static_cast<std::int64_t>(pcm.size()), size - 46);
        // A loop of 15 to 40 seconds, stored compressed.
        EXPECT_GE(pcm.size(), 15u * 44100 * 4);
        EXPECT_LE(pcm.size(), 40u * 44100 * 4);
        EXPECT_LT(wave.size() * 6, pcm.size());
        // Well filled, yet short of full scale.
        double sum = 0;
        int peak = 0;
        for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
            const auto v = static_cast<std::int16_t>(static_cast<std::uint16_t>(pcm[i] | (pcm[i + 1] << 8)));
            sum += static_cast<double>(v) * v;
            peak = std::max(peak, std::abs(static_cast<int>(v)));
        }
        EXPECT_GT(std::sqrt(sum / static_cast<double>(pcm.size() / 2)), 2500.0);
        EXPECT_LT(peak, 32000);
    }
}

// Every level file of every slot parses; returns the items of one game.
std::vector<TLevelItem> ItemsOf(const TBytes& level, std::uint64_t seed, int* entries = nullptr) {
    TRandom random(seed);
    TRandomSource source(random);
    TLevelDataReader reader(level, nullptr, &source);
    std::vector<TLevelItem> items;
    for (int i = 0; i < reader.Count(); ++i) items.push_back(reader.Item(i));
    if (entries) *entries = static_cast<int>(reader.GenerationWords().size());
    EXPECT_EQ(reader.SceneryNumber(), 1);
    return items;
}

TEST_F(ContentPacksTest, EveryLevelParsesAndNamesItsScenery) {
    for (int slot : {0, 1, 2}) {
        for (const char* name : {"1.lvl", "1001.lvl", "1002.lvl"}) {
            SCOPED_TRACE(std::to_string(slot) + "/" + name);
            const TBytes level = Scenario(slot, name);
            int entries = 0;
            EXPECT_NO_THROW(ItemsOf(level, 1, &entries));
            if (std::string(name) == "1.lvl")
                EXPECT_GE(entries, 30);
            else
                EXPECT_EQ(entries, 0);  // these levels only scroll
        }
    }
}

TEST_F(ContentPacksTest, PlayableLevelsUseEveryCreatureGroupsAndSplittersAndRiseInDifficulty) {
    for (int slot : {1, 2}) {
        SCOPED_TRACE(slot);
        const TBytes level = Scenario(slot, "1.lvl");
        // The stored entries themselves: every value within what the game expects.
        const std::size_t count = (level.size() - kLevelHeaderSize) / kLevelEntrySize;
        std::set<int> types;
        std::map<int, int> groupSizes;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* e = level.data() + kLevelHeaderSize + i * kLevelEntrySize;
            auto f = [&](int at) {
                float v;
                std::memcpy(&v, e + at, 4);
                return v;
            };
            std::int16_t group;
            std::memcpy(&group, e + 28, 2);
            types.insert(e[0]);
            if (group >= 0) ++groupSizes[group];
            EXPECT_TRUE(f(12) > 0 && f(12) <= 1) << "probability of entry " << i;
            EXPECT_TRUE(f(4) >= 0 && f(4) <= 1) << "height of entry " << i;
            for (int at : {36, 40}) EXPECT_TRUE(f(at) >= 0 && f(at) <= 2 * std::numbers::pi + 1e-4) << "direction of entry " << i;
        }
        EXPECT_EQ(types.size(), 16u);
        EXPECT_GE(groupSizes.size(), 5u);
        for (const auto& [id, size] : groupSizes) EXPECT_GE(size, 3) << "group " << id;

        // One game of the level as the reader deals it: spread over the
        // playable time, more viruses and faster ones towards the end.
        const std::vector<TLevelItem> items = ItemsOf(level, 7);
        ASSERT_FALSE(items.empty());
        const double lastPosition = 80.0 * 248.5;
        EXPECT_LT(items.front().Position, 5 * 249);
        EXPECT_GT(items.back().Position, 70 * 249);
        EXPECT_LT(items.back().Position, lastPosition);
        int early = 0, late = 0;
        double earlySpeed = 0, lateSpeed = 0;
        for (const TLevelItem& it : items) {
            if (it.CreatureType > 5) continue;
            if (it.Position < lastPosition / 3) {
                ++early;
                earlySpeed += it.Speed;
            } else if (it.Position > lastPosition * 2 / 3) {
                ++late;
                lateSpeed += it.Speed;
            }
            EXPECT_TRUE(it.Height >= 90 && it.Height <= 510) << it.Height;
        }
        ASSERT_GT(early, 0);
        EXPECT_GT(late, 2 * early);
        EXPECT_GT(lateSpeed / late, earlySpeed / early * 1.2);
    }
}

TEST_F(ContentPacksTest, EffectsArePcmOfSensibleLengthAndLevelWithoutClippingOrClicks) {
    std::set<TBytes> distinct;
    for (const std::string& name : gen::EffectNames()) {
        SCOPED_TRACE(name);
        const TBytes wave = Data(name + ".wav");
        EXPECT_TRUE(distinct.insert(wave).second) << "sounds like another effect";
        TStreamWaveReadStream source(wave);
        ASSERT_TRUE(codec::IsPlayablePcm(source.Format.Fmt));
        EXPECT_EQ(source.Format.Fmt.wBitsPerSample, 16);
        const double seconds = static_cast<double>(source.DataSize) / source.Format.Fmt.nAvgBytesPerSec;
        EXPECT_GE(seconds, 0.03);
        EXPECT_LE(seconds, 2.0);
        std::vector<std::int16_t> s(source.DataSize / 2);
        ASSERT_EQ(source.Read(s.data(), static_cast<std::int32_t>(s.size() * 2)), static_cast<std::int32_t>(s.size() * 2));
        int peak = 0;
        double sum = 0;
        for (std::int16_t v : s) {
            peak = std::max(peak, std::abs(static_cast<int>(v)));
            sum += static_cast<double>(v) * v;
        }
        EXPECT_GE(peak, 16000);
        EXPECT_LE(peak, 30000);  // headroom: nothing reaches full scale
        EXPECT_GT(std::sqrt(sum / static_cast<double>(s.size())), 1000.0);
        EXPECT_LT(std::abs(s.front()), 600);
        EXPECT_LT(std::abs(s.back()), 600);
    }
}

// The loop as composed, and as the game decodes it: the same samples in
// the same places, so the decoded file loops where the composition does.
TEST(ContentMusicTest, DecodedMusicLinesUpWithTheCompositionSoItLoops) {
    const gen::TEncodedMusic music = gen::EncodeMusic(gen::TPiece::Menu);
    const TBytes pcmBytes = gen::DecodeWaveToPcm(music.Wave);
    ASSERT_EQ(pcmBytes.size(), static_cast<std::size_t>(music.PeriodFrames) * 4);
    std::vector<std::int16_t> decoded(pcmBytes.size() / 2);
    std::memcpy(decoded.data(), pcmBytes.data(), pcmBytes.size());
    const gen::TMusicLoop loop =
        gen::ComposeMusic(gen::TPiece::Menu, gen::kMp3FrameSamples - gen::kMp3LeadIn, gen::kMp3LeadIn);
    ASSERT_EQ(loop.Pcm.size(), decoded.size());
    auto correlation = [&](std::ptrdiff_t lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t i = 20000; i + 20000 < decoded.size(); i += 2) {
            const double x = decoded[i], y = loop.Pcm[static_cast<std::size_t>(static_cast<std::ptrdiff_t>(i) + lag)];
            xy += x * y;
            xx += x * x;
            yy += y * y;
        }
        return xy / std::sqrt(xx * yy);
    };
    EXPECT_GT(correlation(0), 0.95);
    EXPECT_LT(correlation(2 * 30), 0.9);  // a shift of 30 frames would show
    // Across the loop point the signal is quiet: no click when it wraps.
    for (std::size_t i = 0; i < 2 * 64; ++i) {
        EXPECT_LT(std::abs(decoded[i]), 1500) << i;
        EXPECT_LT(std::abs(decoded[decoded.size() - 1 - i]), 1500) << i;
    }
}

}  // namespace
}  // namespace qv
