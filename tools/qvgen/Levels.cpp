#include "tools/qvgen/Levels.h"

#include <charconv>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>

#include "foundation/Exceptions.h"
#include "foundation/TextUtil.h"
#include "game/data/qv3CreatureTypes.h"
#include "platform/system/Files.h"

namespace qv::gen {

namespace {

constexpr const char* kTypeNames[kCreatureTypeCount] = {
    "virus1", "virus2", "virus3",  "splitter", "cork",   "virus6", "theme1", "theme2",
    "neutral", "theme3", "theme4", "theme5",   "gold",   "silver", "bronze", "bubble"};

constexpr int kMaxGroupId = 999;
constexpr int kMaxCopies = 200;
constexpr double kMaxSeconds = 600;

class TLineError {
public:
    TLineError(const std::string& source, int line) : prefix_(source + ":" + std::to_string(line) + ": ") {}
    [[noreturn]] void Raise(const std::string& reason) const { throw Exception(prefix_ + reason); }

private:
    std::string prefix_;
};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> Words(std::string_view s) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
        if (i > start) words.push_back(s.substr(start, i - start));
    }
    return words;
}

double Number(std::string_view text, const TLineError& error, const std::string& key) {
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        error.Raise("'" + key + "' needs a number, not '" + std::string(text) + "'");
    return value;
}

double InRange(double value, double lo, double hi, const TLineError& error, const std::string& key) {
    if (value < lo || value > hi)
        error.Raise("'" + key + "' must lie in " + std::to_string(lo) + " .. " + std::to_string(hi));
    return value;
}

int Whole(double value, const TLineError& error, const std::string& key) {
    if (value != std::floor(value)) error.Raise("'" + key + "' must be a whole number");
    return static_cast<int>(value);
}

int CreatureTypeOf(std::string_view text, const TLineError& error) {
    for (int i = 0; i < kCreatureTypeCount; ++i)
        if (SameTextNoCase(text, kTypeNames[i])) return i;
    int number = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec == std::errc() && end == text.data() + text.size() && IsCreatureType(number)) return number;
    error.Raise("unknown creature type '" + std::string(text) + "'");
}

// Headings are stored as 0..2 pi; 360 stays a full turn, so a creature
// heading at 348 degrees can turn the short way to 360.
float Radians(double degrees) {
    const double d = degrees < 0 ? degrees + 360.0 : degrees;
    return static_cast<float>(d * std::numbers::pi / 180.0);
}

void ParseCreature(const std::vector<std::string_view>& words, const TLineError& error, TLevelFile& level) {
    std::map<std::string, std::string_view> fields;
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::size_t eq = words[i].find('=');
        if (eq == std::string_view::npos || eq == 0 || eq + 1 == words[i].size())
            error.Raise("expected key=value, found '" + std::string(words[i]) + "'");
        const std::string key = LowerAscii(words[i].substr(0, eq));
        if (!fields.emplace(key, words[i].substr(eq + 1)).second) error.Raise("'" + key + "' given twice");
    }
    auto take = [&](const char* key) -> std::optional<std::string_view> {
        const auto it = fields.find(key);
        if (it == fields.end()) return std::nullopt;
        const std::string_view v = it->second;
        fields.erase(it);
        return v;
    };
    auto number = [&](const char* key, double fallback, double lo, double hi) {
        const auto v = take(key);
        return v ? InRange(Number(*v, error, key), lo, hi, error, key) : fallback;
    };

    TLevelEntry entry;
    const auto type = take("type");
    if (!type) error.Raise("a creature needs a type");
    entry.CreatureType = static_cast<std::uint8_t>(CreatureTypeOf(*type, error));

    const auto at = take("at");
    const auto pos = take("pos");
    if (at.has_value() == pos.has_value()) error.Raise("a creature needs exactly one of 'at' and 'pos'");
    double position = 0;
    if (at)
        position = InRange(Number(*at, error, "at"), 0, kMaxSeconds, error, "at") * kPositionsPerSecond;
    else
        position = Whole(InRange(Number(*pos, error, "pos"), -1e6, 1e6, error, "pos"), error, "pos");

    double height = 0.5;
    if (const auto h = take("height")) {
        if (SameTextNoCase(*h, "random"))
            entry.HeightFromWord = 1;
        else
            height = InRange(Number(*h, error, "height"), 0, 1, error, "height");
    }
    entry.SpeedFraction = static_cast<float>(number("speed", 0, 0, 2));
    entry.Probability = static_cast<float>(number("chance", 1, 0, 1));
    entry.SpreadFraction =
        static_cast<float>(number("spread", 0, 0, kMaxSeconds) * kPositionsPerSecond / CreatureTypes[entry.CreatureType].TimeSpread);
    entry.Wobble = static_cast<float>(number("wobble", 0, 0, 4));
    entry.GroupId = static_cast<std::int16_t>(Whole(number("group", -1, -1, kMaxGroupId), error, "group"));
    entry.Variant = static_cast<std::uint8_t>(Whole(number("variant", 0, 0, 255), error, "variant"));
    const double dir = number("dir", 0, -360, 360);
    entry.Direction = Radians(dir);
    entry.TargetDirection = Radians(number("turn", dir, -360, 360));
    entry.TurnDistance = Whole(number("turnafter", 0, 0, 1e6), error, "turnafter");
    const int count = Whole(number("count", 1, 1, kMaxCopies), error, "count");
    const double every = number("every", 0, 0, kMaxSeconds);
    const double rise = number("rise", 0, -1, 1);
    if (count > 1 && every == 0 && rise == 0) error.Raise("copies need 'every' or 'rise' to tell them apart");
    if (!fields.empty()) error.Raise("unknown field '" + fields.begin()->first + "'");

    for (int i = 0; i < count; ++i) {
        TLevelEntry copy = entry;
        copy.BasePosition = static_cast<std::int32_t>(std::lround(position + i * every * kPositionsPerSecond));
        const double h = height + i * rise;
        if (!entry.HeightFromWord && (h < 0 || h > 1)) error.Raise("a copy's height leaves 0 .. 1");
        copy.HeightFraction = entry.HeightFromWord ? 0.0f : static_cast<float>(h);
        level.Entries.push_back(copy);
    }
}

}  // namespace

TLevelFile ParseLevelDesign(std::string_view text, const std::string& source) {
    TLevelFile level;
    const std::vector<std::string> lines = SplitLines(text);
    bool sceneryGiven = false;
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const TLineError error(source, static_cast<int>(n + 1));
        std::string_view line = lines[n];
        if (const std::size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        line = Trim(line);
        if (line.empty()) continue;
        const std::vector<std::string_view> words = Words(line);
        if (SameTextNoCase(words[0], "scenery")) {
            if (words.size() != 2) error.Raise("'scenery' takes one number");
            if (sceneryGiven) error.Raise("'scenery' given twice");
            level.SceneryNumber = Whole(InRange(Number(words[1], error, "scenery"), 1, 9999, error, "scenery"), error, "scenery");
            sceneryGiven = true;
        } else if (SameTextNoCase(words[0], "creature")) {
            ParseCreature(words, error, level);
        } else {
            error.Raise("unknown statement '" + std::string(words[0]) + "'");
        }
    }
    return level;
}

std::string LevelDesignName(int slot, int levelNumber) {
    if (levelNumber == 1001) return "attract.txt";
    if (levelNumber == 1002) return "nameentry.txt";
    switch (slot) {
        case kDuelSlot: return "duel.txt";
        case kMainSlot: return "main.txt";
        case kPackageSlot: return "extra.txt";
        default: break;
    }
    throw Exception("no level design for slot " + std::to_string(slot));
}

std::vector<TGeneratedFile> GenerateLevels(int slot, const std::string& levelDir) {
    std::vector<TGeneratedFile> files;
    std::string dir = levelDir;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    for (int number : {1, 1001, 1002}) {
        const std::string design = LevelDesignName(slot, number);
        // A level design is a text grid of some kilobytes.
        constexpr std::size_t kMaxLevelDesignSize = 1u << 20;
        const std::optional<std::string> text = sys::ReadFileText(dir + design, kMaxLevelDesignSize);
        if (!text) throw Exception("cannot read the level design " + dir + design);
        const TLevelFile level = ParseLevelDesign(*text, design);
        files.push_back({std::to_string(number) + ".lvl", WriteLevelData(level)});
    }
    return files;
}

}  // namespace qv::gen
