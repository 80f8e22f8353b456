#include "foundation/qv3Environment.h"

#include <stdexcept>

#include "foundation/Random.h"

namespace qv {

TEnvironmentRecord Environment;

namespace {

// Guards the serialiser against drifting from the layout: every field must
// start where the layout puts it.
void At(std::size_t position, std::size_t base, std::size_t offset) {
    if (position != base + offset)
        throw std::logic_error("settings record field at " + std::to_string(position) + ", expected " +
                               std::to_string(base + offset));
}

template <std::size_t N>
void WriteText(TBinaryWriter& w, const TShortString<N>& s) {
    w.WriteShortString(s.View(), N);
}

// A stored short string whose length byte exceeds the capacity keeps the
// whole field; `clamped` counts such fields.
template <std::size_t N>
void ReadText(TBinaryReader& r, TShortString<N>& s, std::size_t& clamped) {
    r.Require(1 + N);
    std::size_t length = r.ReadU8();
    if (length > N) {
        length = N;
        ++clamped;
    }
    const auto bytes = r.ReadSpan(N);
    s.Assign(std::string_view(reinterpret_cast<const char*>(bytes.data()), length));
}

void WriteEntry(TBinaryWriter& w, const THighScoreEntry& e) {
    const std::size_t base = w.Size();
    WriteText(w, e.Name);
    At(w.Size(), base, HighScoreEntryLayout::Padding);
    w.WriteZeros(1);
    w.WriteI32(e.Score);
}

void ReadEntry(TBinaryReader& r, THighScoreEntry& e, std::size_t& clamped) {
    ReadText(r, e.Name, clamped);
    r.Skip(1);
    e.Score = r.ReadI32();
}

void WriteProgress(TBinaryWriter& w, const TScenarioProgress& p) {
    namespace L = ScenarioProgressLayout;
    const std::size_t base = w.Size();
    w.WriteI32(p.StartScore);
    w.WriteI32(p.StartLevel);
    for (std::int32_t v : p.Reserved) w.WriteI32(v);
    At(w.Size(), base, L::LastGameStats);
    p.LastGameStats.Write(w);
    At(w.Size(), base, L::HighScores);
    for (const auto& e : p.HighScores) WriteEntry(w, e);
    At(w.Size(), base, L::BestGameStats);
    p.BestGameStats.Write(w);
    At(w.Size(), base, L::WorldBestFile);
    WriteText(w, p.WorldBestFile);
    At(w.Size(), base, L::Padding);
    w.WriteZeros(1);
    w.WriteI32(p.GamesStarted);
    w.WriteI32(p.LevelsFinished);
    At(w.Size(), base, L::End);
}

void ReadProgress(TBinaryReader& r, TScenarioProgress& p, std::size_t& clamped) {
    p.StartScore = r.ReadI32();
    p.StartLevel = r.ReadI32();
    for (std::int32_t& v : p.Reserved) v = r.ReadI32();
    p.LastGameStats.Read(r);
    for (auto& e : p.HighScores) ReadEntry(r, e, clamped);
    p.BestGameStats.Read(r);
    ReadText(r, p.WorldBestFile, clamped);
    r.Skip(1);
    p.GamesStarted = r.ReadI32();
    p.LevelsFinished = r.ReadI32();
}

}  // namespace

void TEnvironmentRecord::ResetScenarioProgress(int slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= kScenarioSlotCount) return;
    TScenarioProgress& p = Scenarios[static_cast<std::size_t>(slot)];
    p.StartScore = 0;
    p.StartLevel = 0;
    p.Reserved = {};
}

void TEnvironmentRecord::ClearAllHighScores(int slot) {
    ResetScenarioProgress(slot);
    THighScoreEntry empty;
    empty.Score = kNoHighScore;
    for (auto& p : Scenarios) {
        p.HighScores.fill(empty);
        p.LastGameStats.Clear();
    }
}

void TEnvironmentRecord::SetDefaults(std::uint64_t videoMemory, int slot) {
    const std::uint16_t country = Country;
    *this = TEnvironmentRecord{};
    AdapterIndex = 0;
    DeviceType = 1;
    if (videoMemory < kHighDetailVideoMemory) {
        Detail = 0;
        DisplayMode = dmFullScreen16;
    } else {
        Detail = 1;
        DisplayMode = dmFullScreen32;
    }
    MusicVolume = 100;
    SoundVolume = 100;
    CurrentScenario = 1;
    ProgramRandom().Randomize();
    ClearAllHighScores(slot);
    Country = country;
}

void TEnvironmentRecord::Write(TBinaryWriter& w) const {
    namespace L = EnvironmentLayout;
    const std::size_t base = w.Size();
    w.WriteI32(MusicVolume);
    w.WriteI32(SoundVolume);
    w.WriteI32(AdapterIndex);
    w.WriteI32(DeviceType);
    At(w.Size(), base, L::DisplayMode);
    w.WriteU8(DisplayMode);
    w.WriteU8(Detail);
    w.WriteZeros(2);
    At(w.Size(), base, L::CurrentScenario);
    w.WriteI32(CurrentScenario);
    At(w.Size(), base, L::Scenarios);
    for (const auto& p : Scenarios) WriteProgress(w, p);
    At(w.Size(), base, L::LobbyLoginKey);
    WriteText(w, LobbyLoginKey);
    WriteText(w, LobbyAlias);
    WriteText(w, ScoreUID);
    WriteText(w, PlayerAlias);
    WriteText(w, City);
    WriteText(w, State);
    At(w.Size(), base, L::Country);
    w.WriteU16(Country);
    WriteText(w, ErrorReportEmail);
    At(w.Size(), base, L::Gender);
    w.WriteU8(Gender);
    WriteText(w, Email);
    At(w.Size(), base, L::Padding2);
    w.WriteZeros(3);
    w.WriteI32(Age);
    At(w.Size(), base, L::Comment);
    WriteText(w, Comment);
    WriteText(w, HighScoreHost);
    WriteText(w, HighScoreBase);
    WriteText(w, ChatHost);
    WriteText(w, InternalHost);
    WriteText(w, InternalBase);
    At(w.Size(), base, L::SupportURL);
    WriteText(w, SupportURL);
    At(w.Size(), base, L::Padding3);
    w.WriteZeros(1);
    At(w.Size(), base, L::End);
}

std::vector<std::uint8_t> TEnvironmentRecord::ToBytes() const {
    TBinaryWriter w(kSize);
    Write(w);
    return w.Take();
}

std::size_t TEnvironmentRecord::Read(TBinaryReader& r) {
    r.Require(kSize);
    std::size_t clamped = 0;
    MusicVolume = r.ReadI32();
    SoundVolume = r.ReadI32();
    AdapterIndex = r.ReadI32();
    DeviceType = r.ReadI32();
    DisplayMode = r.ReadU8();
    Detail = r.ReadU8();
    r.Skip(2);
    CurrentScenario = r.ReadI32();
    for (auto& p : Scenarios) ReadProgress(r, p, clamped);
    ReadText(r, LobbyLoginKey, clamped);
    ReadText(r, LobbyAlias, clamped);
    ReadText(r, ScoreUID, clamped);
    ReadText(r, PlayerAlias, clamped);
    ReadText(r, City, clamped);
    ReadText(r, State, clamped);
    Country = r.ReadU16();
    ReadText(r, ErrorReportEmail, clamped);
    Gender = r.ReadU8();
    ReadText(r, Email, clamped);
    r.Skip(3);
    Age = r.ReadI32();
    ReadText(r, Comment, clamped);
    ReadText(r, HighScoreHost, clamped);
    ReadText(r, HighScoreBase, clamped);
    ReadText(r, ChatHost, clamped);
    ReadText(r, InternalHost, clamped);
    ReadText(r, InternalBase, clamped);
    ReadText(r, SupportURL, clamped);
    r.Skip(1);
    return clamped;
}

}  // namespace qv
