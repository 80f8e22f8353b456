#include "game/core/qv3CoreRules.h"

#include <cstdio>
#include <cstdlib>

#include "foundation/qv3Log.h"

namespace qv {

int InsertHighScoreEntry(std::array<THighScoreEntry, kHighScoreCount>& table, std::int32_t score,
                         std::string_view alias) {
    int row = -1;
    for (int i = static_cast<int>(kHighScoreCount) - 1; i >= 0; --i) {
        const auto at = static_cast<std::size_t>(i);
        if (table[at].Score < score) {
            row = i;
            if (at + 1 < kHighScoreCount) table[at + 1] = table[at];
        }
    }
    if (row < 0) return -1;
    THighScoreEntry& entry = table[static_cast<std::size_t>(row)];
    entry.Score = score;
    entry.Name = alias.substr(0, 10);
    return row;
}

TNameEdit EditHighScoreName(TShortString<10>& name, int key) {
    TNameEdit result;
    if (key == 8) {
        if (!name.empty()) {
            const std::string text = name.Str();
            name = std::string_view(text).substr(0, text.size() - 1);
            result.Sound = 10;
        }
    } else if (key == 13 || key == 27) {
        result.Done = true;
    } else if (key == 32 || (key >= 48 && key <= 57) || (key >= 65 && key <= 90)) {
        if (name.size() <= 9) {
            std::string text = name.Str();
            text.push_back(static_cast<char>(key));
            name = text;
            result.Sound = 11;
        }
    }
    return result;
}

std::uint8_t NextMenuPage(std::uint8_t page, const TMenuPages& pages) {
    // At most one full round: page 0 is always there.
    for (int i = 0; i < 5; ++i) {
        page = static_cast<std::uint8_t>((page + 1) % 5);
        const bool shown = page == 0 || (page == 2 && pages.TableHasScore) || (page == 3 && pages.DemoExists) ||
                           (page == 4 && pages.LastReplayExists);
        if (shown) return page;
    }
    return 0;
}

void StepMenuCaption(TMenuCaption& caption, const TMenuPages& pages) {
    caption.MenuTextTime += 10;
    const std::int32_t t = caption.MenuTextTime;
    if (t < 701) return;
    if (t <= 4199) {
        caption.MenuTextParam = static_cast<float>(t - 4200) / 3500.0f;
    } else if (t < 6001) {
        caption.MenuTextParam = 0;
    } else if (t < 6801) {
        caption.MenuTextParam = static_cast<float>(t - 6000) / 800.0f;
    } else {
        caption.MenuTextParam = -1;
        caption.MenuTextTime = 0;
        caption.MenuPage = NextMenuPage(caption.MenuPage, pages);
    }
}

int CountdownDigit(std::int32_t levelLength, std::int32_t logicTime) {
    if (logicTime <= levelLength - 10000) return -1;
    const std::int64_t left = static_cast<std::int64_t>(levelLength) - logicTime;
    const std::int64_t s = left * 10 / 10000;
    // Only the digit sprites: past the level's end nothing is shown.
    if (left < 0 || s > 9) return -1;
    return static_cast<int>(s);
}

std::string HudTimeText(bool duel, int playPhase, std::int32_t levelLength, std::int32_t logicTime,
                        std::int32_t stateTime) {
    char text[32];
    if (duel) {
        std::snprintf(text, sizeof text, "%d.%.2d", logicTime / 1000, std::abs(logicTime % 1000) / 10);
    } else if (playPhase == 0) {
        const std::int64_t v = static_cast<std::int64_t>(levelLength) * stateTime / 100000;
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(v));
    } else {
        const std::int32_t left = (levelLength - logicTime) / 1000;
        std::snprintf(text, sizeof text, "%d", left < 0 ? 0 : left);
    }
    return text;
}

std::array<std::uint32_t, 4> BrightnessColours(float brightness) {
    const auto v = static_cast<std::uint32_t>(static_cast<std::int32_t>(brightness * 255.0f)) & 0xFFu;
    const std::uint32_t c = 0xFF000000u | v * 0x010101u;
    return {c, c, c, c};
}

std::vector<int> NumberGlyphs(std::int64_t value, std::uint32_t colour) {
    std::vector<int> glyphs;
    if (value < 0) {
        glyphs.push_back(10);
    } else if (value > 0 && colour != 0xFFFFFFFFu) {
        glyphs.push_back(11);
    }
    const std::string digits = std::to_string(value < 0 ? -value : value);
    for (char c : digits) glyphs.push_back(c - '0');
    return glyphs;
}

void CheckGameMode(const TzkD3DMode& mode) {
    if (mode.Width != 800 || mode.Height != 600 || mode.BehaviorFlags != 0x20) {
        RaiseLoggedError("Invalid mode", 0,
                         "width=" + std::to_string(mode.Width) + " / height=" + std::to_string(mode.Height) +
                             " / behavior=" + std::to_string(mode.BehaviorFlags));
    }
}

}  // namespace qv
