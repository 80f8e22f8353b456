// The settings record: everything the program remembers between runs, in
// one record of fixed layout that the settings file stores byte for byte.
//
// In memory the record is plain C++; its stored form (little-endian, text
// fields as Windows-1252 short strings, the padding shown in the layout
// below) is written and read field by field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/BinaryIO.h"
#include "foundation/qv3GameStatistics.h"

namespace qv {

// A text field of at most N bytes (Windows-1252), stored as a length byte and
// N bytes. Assigning a longer text keeps its first N bytes; the bytes past
// the text are always zero, so a shorter text leaves nothing of a longer one.
template <std::size_t N>
class TShortString {
    static_assert(N >= 1 && N <= 255);

public:
    static constexpr std::size_t Capacity = N;

    TShortString() = default;
    explicit TShortString(std::string_view text) { Assign(text); }
    TShortString& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    void Assign(std::string_view text) {
        const std::size_t n = text.size() < N ? text.size() : N;
        bytes_.fill('\0');
        text.copy(bytes_.data(), n);
        length_ = static_cast<std::uint8_t>(n);
    }

    std::string_view View() const { return std::string_view(bytes_.data(), length_); }
    std::string Str() const { return std::string(View()); }
    std::size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }

    bool operator==(const TShortString&) const = default;
    bool operator==(std::string_view other) const { return View() == other; }

private:
    std::uint8_t length_ = 0;
    std::array<char, N> bytes_{};
};

inline constexpr std::size_t kScenarioSlotCount = 100;
inline constexpr std::size_t kHighScoreCount = 10;
// The score of an empty high-score entry.
inline constexpr std::int32_t kNoHighScore = -100000;
// From this much video memory on, the defaults choose high detail and 32-bit colour.
inline constexpr std::uint64_t kHighDetailVideoMemory = 14000000;

// Display modes of the record.
inline constexpr std::uint8_t dmNone = 0;
inline constexpr std::uint8_t dmWindow = 1;
inline constexpr std::uint8_t dmFullScreen16 = 2;
inline constexpr std::uint8_t dmFullScreen32 = 3;

// The country number used when none was chosen.
inline constexpr std::uint16_t kDefaultCountry = 207;

struct THighScoreEntry {
    TShortString<10> Name;
    std::int32_t Score = 0;

    static constexpr std::size_t kSize = 16;
    // An entry counts as set when its score is not kNoHighScore.
    bool IsSet() const { return Score != kNoHighScore; }
    bool operator==(const THighScoreEntry&) const = default;
};

// The state of one scenario slot.
struct TScenarioProgress {
    std::int32_t StartScore = 0;  // score a new game starts with
    std::int32_t StartLevel = 0;  // level choice of the main menu, 0..4
    std::array<std::int32_t, 2> Reserved{};
    TGameStatistics LastGameStats;
    std::array<THighScoreEntry, kHighScoreCount> HighScores{};  // best first
    TGameStatistics BestGameStats;
    TShortString<30> WorldBestFile;  // server name of the last downloaded world's-best replay
    std::int32_t GamesStarted = 0;
    std::int32_t LevelsFinished = 0;

    static constexpr std::size_t kSize = 360;
    bool operator==(const TScenarioProgress&) const = default;
};

struct TEnvironmentRecord {
    std::int32_t MusicVolume = 0;   // 0..100
    std::int32_t SoundVolume = 0;   // 0..100
    std::int32_t AdapterIndex = 0;  // display adapter chosen in the options
    std::int32_t DeviceType = 0;    // device type of that adapter (1 = hardware)
    std::uint8_t DisplayMode = dmNone;
    std::uint8_t Detail = 0;  // 0 normal, 1 high
    std::int32_t CurrentScenario = 0;  // slot selected when last saved
    std::array<TScenarioProgress, kScenarioSlotCount> Scenarios{};
    TShortString<32> LobbyLoginKey;
    TShortString<15> LobbyAlias;
    TShortString<32> ScoreUID;
    TShortString<15> PlayerAlias;  // the high-score tables take its first 10 characters
    TShortString<100> City;
    TShortString<40> State;
    std::uint16_t Country = 0;  // 0 "World", 1..243 the countries
    TShortString<100> ErrorReportEmail;
    std::uint8_t Gender = 0;  // 0 not given, 1 male, 2 female
    TShortString<80> Email;
    std::int32_t Age = 0;  // 0 not given
    TShortString<100> Comment;
    TShortString<150> HighScoreHost;
    TShortString<150> HighScoreBase;
    TShortString<150> ChatHost;
    TShortString<150> InternalHost;
    TShortString<150> InternalBase;
    TShortString<150> SupportURL;

    static constexpr std::size_t kSize = 37464;

    // Sets StartScore, StartLevel and the reserved words of `slot` to 0
    // (nothing for a slot outside 0..99).
    void ResetScenarioProgress(int slot);
    // ResetScenarioProgress(slot); then empties every slot's high-score table
    // and zeroes its LastGameStats. BestGameStats, WorldBestFile and the
    // counters stay.
    void ClearAllHighScores(int slot);
    // The first-start record: everything zero except the options below, the
    // high scores cleared, and Country kept. Re-seeds the program's random
    // generator. `videoMemory` in bytes, 0 when unknown; `slot` is the
    // current scenario slot.
    void SetDefaults(std::uint64_t videoMemory, int slot);

    // Exactly kSize bytes.
    void Write(TBinaryWriter& w) const;
    std::vector<std::uint8_t> ToBytes() const;
    // Consumes exactly kSize bytes (throws EBinaryError when fewer remain).
    // A stored length byte above its field's capacity is taken as the
    // capacity; the number of such fields is returned.
    std::size_t Read(TBinaryReader& r);

    bool operator==(const TEnvironmentRecord&) const = default;
};

// The settings record of this run.
extern TEnvironmentRecord Environment;

// Stored offsets.
namespace HighScoreEntryLayout {
inline constexpr std::size_t Name = 0;
inline constexpr std::size_t Padding = Name + 1 + 10;
inline constexpr std::size_t Score = Padding + 1;
inline constexpr std::size_t End = Score + 4;
}  // namespace HighScoreEntryLayout

namespace ScenarioProgressLayout {
inline constexpr std::size_t StartScore = 0x000;
inline constexpr std::size_t StartLevel = StartScore + 4;
inline constexpr std::size_t Reserved = StartLevel + 4;
inline constexpr std::size_t LastGameStats = Reserved + 8;
inline constexpr std::size_t HighScores = LastGameStats + TGameStatistics::kSize;
inline constexpr std::size_t BestGameStats = HighScores + kHighScoreCount * THighScoreEntry::kSize;
inline constexpr std::size_t WorldBestFile = BestGameStats + TGameStatistics::kSize;
inline constexpr std::size_t Padding = WorldBestFile + 1 + 30;
inline constexpr std::size_t GamesStarted = Padding + 1;
inline constexpr std::size_t LevelsFinished = GamesStarted + 4;
inline constexpr std::size_t End = LevelsFinished + 4;
}  // namespace ScenarioProgressLayout

namespace EnvironmentLayout {
inline constexpr std::size_t MusicVolume = 0x0000;
inline constexpr std::size_t SoundVolume = MusicVolume + 4;
inline constexpr std::size_t AdapterIndex = SoundVolume + 4;
inline constexpr std::size_t DeviceType = AdapterIndex + 4;
inline constexpr std::size_t DisplayMode = DeviceType + 4;
inline constexpr std::size_t Detail = DisplayMode + 1;
inline constexpr std::size_t Padding1 = Detail + 1;
inline constexpr std::size_t CurrentScenario = Padding1 + 2;
inline constexpr std::size_t Scenarios = CurrentScenario + 4;
inline constexpr std::size_t LobbyLoginKey = Scenarios + kScenarioSlotCount * TScenarioProgress::kSize;
inline constexpr std::size_t LobbyAlias = LobbyLoginKey + 1 + 32;
inline constexpr std::size_t ScoreUID = LobbyAlias + 1 + 15;
inline constexpr std::size_t PlayerAlias = ScoreUID + 1 + 32;
inline constexpr std::size_t City = PlayerAlias + 1 + 15;
inline constexpr std::size_t State = City + 1 + 100;
inline constexpr std::size_t Country = State + 1 + 40;
inline constexpr std::size_t ErrorReportEmail = Country + 2;
inline constexpr std::size_t Gender = ErrorReportEmail + 1 + 100;
inline constexpr std::size_t Email = Gender + 1;
inline constexpr std::size_t Padding2 = Email + 1 + 80;
inline constexpr std::size_t Age = Padding2 + 3;
inline constexpr std::size_t Comment = Age + 4;
inline constexpr std::size_t HighScoreHost = Comment + 1 + 100;
inline constexpr std::size_t HighScoreBase = HighScoreHost + 1 + 150;
inline constexpr std::size_t ChatHost = HighScoreBase + 1 + 150;
inline constexpr std::size_t InternalHost = ChatHost + 1 + 150;
inline constexpr std::size_t InternalBase = InternalHost + 1 + 150;
inline constexpr std::size_t SupportURL = InternalBase + 1 + 150;
inline constexpr std::size_t Padding3 = SupportURL + 1 + 150;
inline constexpr std::size_t End = Padding3 + 1;
}  // namespace EnvironmentLayout

static_assert(HighScoreEntryLayout::End == THighScoreEntry::kSize);

static_assert(ScenarioProgressLayout::LastGameStats == 0x010);
static_assert(ScenarioProgressLayout::HighScores == 0x058);
static_assert(ScenarioProgressLayout::BestGameStats == 0x0F8);
static_assert(ScenarioProgressLayout::WorldBestFile == 0x140);
static_assert(ScenarioProgressLayout::Padding == 0x15F);
static_assert(ScenarioProgressLayout::GamesStarted == 0x160);
static_assert(ScenarioProgressLayout::LevelsFinished == 0x164);
static_assert(ScenarioProgressLayout::End == TScenarioProgress::kSize);

static_assert(EnvironmentLayout::CurrentScenario == 0x0014);
static_assert(EnvironmentLayout::Scenarios == 0x0018);
static_assert(EnvironmentLayout::LobbyLoginKey == 0x8CB8);
static_assert(EnvironmentLayout::LobbyAlias == 0x8CD9);
static_assert(EnvironmentLayout::ScoreUID == 0x8CE9);
static_assert(EnvironmentLayout::PlayerAlias == 0x8D0A);
static_assert(EnvironmentLayout::City == 0x8D1A);
static_assert(EnvironmentLayout::State == 0x8D7F);
static_assert(EnvironmentLayout::Country == 0x8DA8);
static_assert(EnvironmentLayout::ErrorReportEmail == 0x8DAA);
static_assert(EnvironmentLayout::Gender == 0x8E0F);
static_assert(EnvironmentLayout::Email == 0x8E10);
static_assert(EnvironmentLayout::Padding2 == 0x8E61);
static_assert(EnvironmentLayout::Age == 0x8E64);
static_assert(EnvironmentLayout::Comment == 0x8E68);
static_assert(EnvironmentLayout::HighScoreHost == 0x8ECD);
static_assert(EnvironmentLayout::HighScoreBase == 0x8F64);
static_assert(EnvironmentLayout::ChatHost == 0x8FFB);
static_assert(EnvironmentLayout::InternalHost == 0x9092);
static_assert(EnvironmentLayout::InternalBase == 0x9129);
static_assert(EnvironmentLayout::SupportURL == 0x91C0);
static_assert(EnvironmentLayout::Padding3 == 0x9257);
static_assert(EnvironmentLayout::End == TEnvironmentRecord::kSize);

}  // namespace qv
