#include "game/data/qv3ScenarioConfig.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>

#include "foundation/TextUtil.h"
#include "foundation/qv3Global.h"
#include "game/data/qv3DataError.h"

namespace qv {

namespace {

constexpr std::int32_t kMaxFontWidth = 256;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> SplitList(std::string_view s) {
    std::vector<std::string_view> items;
    if (Trim(s).empty()) return items;
    while (true) {
        const std::size_t comma = s.find(',');
        items.push_back(Trim(s.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        s.remove_prefix(comma + 1);
    }
    return items;
}

bool ParseBool(std::string_view text, bool& value) {
    if (SameTextNoCase(text, "true")) {
        value = true;
        return true;
    }
    if (SameTextNoCase(text, "false")) {
        value = false;
        return true;
    }
    std::int32_t n = 0;
    if (!ParseEnvironmentInt(text, n)) return false;
    value = n != 0;
    return true;
}

// Truncated toward zero and held within int32 (NaN gives 0).
std::int32_t TruncClamp(double v) {
    if (!(v == v)) return 0;
    if (v <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(v);
}

// random(k): a whole number 0..k-1, 0 for k below 1.
std::int64_t RandomBelow(IRandomSource& random, std::int64_t k) {
    if (k < 1) return 0;
    if (k > std::numeric_limits<std::uint32_t>::max()) k = std::numeric_limits<std::uint32_t>::max();
    return random.Below(static_cast<std::uint32_t>(k));
}

// A value spread over 0..extent, widened by w on the side the particle
// drifts from.
double WidenedY(IRandomSource& random, std::int32_t w) {
    if (w < 0) return static_cast<double>(w + RandomBelow(random, 600 - static_cast<std::int64_t>(w)));
    return static_cast<double>(RandomBelow(random, static_cast<std::int64_t>(w) + 600));
}

double WidenedX(IRandomSource& random, std::int32_t w) {
    if (w < 0) return static_cast<double>(RandomBelow(random, 800 - static_cast<std::int64_t>(w)));
    return static_cast<double>(RandomBelow(random, static_cast<std::int64_t>(w) + 800) - w);
}

// Truncated toward zero within +-10^6: widenings and darkenings stay far
// inside int32, whatever the scenario says.
std::int32_t TruncBounded(double v) {
    constexpr double kLimit = 1.0e6;
    if (!(v == v)) return 0;
    return TruncClamp(std::fmax(-kLimit, std::fmin(kLimit, v)));
}

// Ticks a particle lives: the distance it crosses over its speed, at most
// 1000 s (a particle that would take longer never leaves its corner).
std::int32_t Lifetime(double distance, double speed) {
    constexpr std::int32_t kMaxLife = 100000;
    if (!(speed != 0.0) || !std::isfinite(speed)) return 0;
    const std::int32_t life = TruncClamp(distance / speed);
    return life < 0 ? 0 : life > kMaxLife ? kMaxLife : life;
}

std::uint32_t Darken(std::uint32_t color, std::int64_t t) {
    std::uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        std::int64_t byte = static_cast<std::int64_t>((color >> shift) & 0xFFu) * t / 256;
        if (byte < 0) byte = 0;
        if (byte > 255) byte = 255;
        result |= static_cast<std::uint32_t>(byte) << shift;
    }
    return result;
}

}  // namespace

bool ParseEnvironmentInt(std::string_view text, std::int32_t& value) {
    text = Trim(text);
    if (text.empty()) return false;
    if (text.front() == '$') {
        text.remove_prefix(1);
        if (text.empty() || text.size() > 8) return false;
        std::uint32_t bits = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), bits, 16);
        if (ec != std::errc() || end != text.data() + text.size()) return false;
        value = static_cast<std::int32_t>(bits);
        return true;
    }
    if (text.front() == '+') text.remove_prefix(1);
    std::int32_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n, 10);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    value = n;
    return true;
}

bool ParseEnvironmentFloat(std::string_view text, float& value) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    float v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, std::chars_format::general);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

void TScenarioConfig::Reset() {
    Number = -1;
    CreationsPerMin = 40;
    DistanceBase = 1.0f;
    DistanceRange = 0.0f;
    Zoom = 1.0f;
    AlphaDecrease = 0.0f;
    LayersInterval = 0.0f;
    DirectionBase = 260.0f;
    DirectionRange = 20.0f;
    SpeedBase = 40.0f;
    SpeedRange = 20.0f;
    RotationBase = 0.0f;
    RotationRange = 0.0f;
    BubblesRotationSpeed = 0.0f;
    BubblesWobble = true;
    Title.clear();
    ScoreBonusColor = -256;  // $FFFFFF00, opaque yellow
    LevelLength = 90000;
    Movement = 0;
    Colors.clear();
    FontWidths = kDefaultScenarioFontWidths;
    SoundSizes.clear();
}

void TScenarioConfig::Load(std::string_view text) {
    // Every load starts from the defaults, so nothing of the scenario loaded
    // before carries over.
    Reset();
    std::vector<std::pair<std::string, std::string>> values;
    for (const std::string& line : SplitLines(text)) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string_view name = Trim(std::string_view(line).substr(0, eq));
        const std::string_view value = Trim(std::string_view(line).substr(eq + 1));
        if (name.empty()) continue;
        if (StartsWithNoCase(name, "snd")) {
            std::int32_t size = 0;
            if (ParseEnvironmentInt(value, size)) SoundSizes.emplace_back(std::string(name.substr(3)), size);
            continue;
        }
        values.emplace_back(std::string(name), std::string(value));
    }
    auto find = [&values](std::string_view name) -> const std::string* {
        for (const auto& [n, v] : values)
            if (SameTextNoCase(n, name)) return &v;
        return nullptr;
    };
    auto setInt = [&find](std::string_view name, std::int32_t& field) {
        if (const std::string* v = find(name)) ParseEnvironmentInt(*v, field);
    };
    auto setFloat = [&find](std::string_view name, float& field) {
        if (const std::string* v = find(name)) ParseEnvironmentFloat(*v, field);
    };

    setInt("Number", Number);
    setInt("CreationsPerMin", CreationsPerMin);
    setFloat("DistanceBase", DistanceBase);
    setFloat("DistanceRange", DistanceRange);
    setFloat("Zoom", Zoom);
    setFloat("AlphaDecrease", AlphaDecrease);
    setFloat("LayersInterval", LayersInterval);
    setFloat("DirectionBase", DirectionBase);
    setFloat("DirectionRange", DirectionRange);
    setFloat("SpeedBase", SpeedBase);
    setFloat("SpeedRange", SpeedRange);
    setFloat("RotationBase", RotationBase);
    setFloat("RotationRange", RotationRange);
    setFloat("BubblesRotationSpeed", BubblesRotationSpeed);
    if (const std::string* v = find("BubblesWobble")) ParseBool(*v, BubblesWobble);
    if (const std::string* v = find("Title")) Title = *v;
    setInt("ScoreBonusColor", ScoreBonusColor);
    setInt("LevelLength", LevelLength);
    setInt("Movement", Movement);
    if (const std::string* v = find("Colors")) {
        for (std::string_view item : SplitList(*v)) {
            std::int32_t c = 0;
            if (!ParseEnvironmentInt(item, c)) throw EDataError("'" + std::string(item) + "' is not a valid integer value");
            Colors.push_back(c);
        }
    }
    if (const std::string* v = find("FontWidths")) {
        const std::vector<std::string_view> items = SplitList(*v);
        for (std::size_t i = 0; i < items.size() && i < FontWidths.size(); ++i) {
            std::int32_t w = 0;
            if (ParseEnvironmentInt(items[i], w) && w >= 0 && w <= kMaxFontWidth) FontWidths[i] = w;
        }
    }
}

std::int32_t TScenarioConfig::FontWidth(int font, int index) const {
    if (font != 0 && font != 1) throw EDataError("invalid font index");
    if (index < 0 || index >= kFontGlyphCount) throw EListError("Index out of bounds");
    const auto i = static_cast<std::size_t>(index);
    return font == 0 ? kBuiltInFontWidths[i] + 1 : FontWidths[i];
}

bool TScenarioConfig::SoundSize(std::string_view name, std::int32_t& size) const {
    for (const auto& [n, v] : SoundSizes) {
        if (SameTextNoCase(n, name)) {
            size = v;
            return true;
        }
    }
    size = 0;
    return false;
}

TEffectStart TScenarioConfig::NewEffect(IRandomSource& random) const {
    TEffectStart e;
    // Direction, from the whole-degree tables.
    const double r1 = random.Uniform();
    const double degrees = r1 * DirectionRange + DirectionBase;
    const auto b = static_cast<float>(degrees * std::numbers::pi / 180.0);
    const double c = DegSin(b);
    const double d = DegCos(b);
    const int sector = DegIndex(b);

    // Distance: depth layer, scale.
    const double r2 = random.Uniform();
    const double l = r2 * DistanceRange + DistanceBase;
    e.RenderLayer = (l > LayersInterval ? 220 : 1620) - TruncClamp(r2 * 20.0);
    const double scale = Zoom / l;

    const double r3 = random.Uniform();
    const double s = (r3 * SpeedRange + SpeedBase) / l;
    const double vx = d * s;
    const double vy = -c * s;

    std::uint32_t color = 0xFFFFFFFFu;  // a scenario without colours gets white particles
    if (!Colors.empty())
        color = static_cast<std::uint32_t>(
            Colors[static_cast<std::size_t>(RandomBelow(random, static_cast<std::int64_t>(Colors.size())))]);
    const std::int64_t t = 256 - static_cast<std::int64_t>(TruncBounded(r2 * AlphaDecrease * 256.0));
    e.Colors.fill(Darken(color, t));

    const double r4 = random.Uniform();
    e.AngularSpeed = static_cast<float>(r4 * RotationRange + RotationBase);

    // A distance of 0 (or a scenario's absurd values) gives a particle that
    // never shows rather than one that breaks the frame.
    if (!std::isfinite(scale) || !std::isfinite(s)) return e;
    e.ScaleX = e.ScaleY = static_cast<float>(scale);
    e.VelocityX = static_cast<float>(vx);
    e.VelocityY = static_cast<float>(vy);

    const double v = scale * 128.0;
    double x = 0, y = 0;
    if (sector < 45 || sector > 315) {  // moving right
        x = -v;
        y = WidenedY(random, TruncBounded(c * (2 * v + 800)));
        e.Life = Lifetime(2 * v + 800, vx);
    } else if (sector < 135) {  // moving up
        y = v + 600;
        x = WidenedX(random, TruncBounded(d * (2 * v + 600)));
        e.Life = Lifetime(-(2 * v + 600), vy);
    } else if (sector < 225) {  // moving left
        x = v + 800;
        y = WidenedY(random, TruncBounded(c * (2 * v + 800)));
        e.Life = Lifetime(-(2 * v + 800), vx);
    } else {  // moving down
        y = -v;
        x = WidenedX(random, TruncBounded(d * (2 * v + 600)));
        e.Life = Lifetime(2 * v + 600, vy);
    }
    e.X = static_cast<float>(x);
    e.Y = static_cast<float>(y);
    return e;
}

}  // namespace qv
