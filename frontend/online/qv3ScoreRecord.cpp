#include "frontend/online/qv3ScoreRecord.h"

#include <cstdio>

#include "foundation/TextUtil.h"
#include "game/data/qv3CreatureTypes.h"

namespace qv {

const std::array<std::string_view, 10> kScoreCodeAlphabets = {
    "qHmZtBx", "fKaWr", "LdTnY", "gEuPc", "SvJiO", "bRkXo", "ChyNw", "MjDsA", "zFlUe", "GpVIQ",
};

namespace {

constexpr std::array<std::uint8_t, kScoreCodeLength> MakeOrder() {
    // 41 is prime to 107, so k * 41 + 17 runs through every residue once.
    std::array<std::uint8_t, kScoreCodeLength> order{};
    for (int k = 0; k < kScoreCodeLength; ++k) order[k] = static_cast<std::uint8_t>((k * 41 + 17) % 107 + 1);
    return order;
}

void AppendField(std::string& digits, int value, int width, const char* name) {
    int limit = 1;
    for (int i = 0; i < width; ++i) limit *= 10;
    if (value < 0 || value >= limit) {
        throw EScoreCodeError(std::string("The game statistics do not fit the score code (") + name + " " +
                              std::to_string(value) + ")");
    }
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", width, value);
    digits += text;
}

std::string BarsToSlashes(std::string_view s, std::size_t limit) {
    std::string out(s.substr(0, limit));
    for (char& c : out) {
        if (c == '|') c = '/';
    }
    return out;
}

std::string WithoutBars(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c != '|') out += c;
    }
    return out;
}

}  // namespace

const std::array<std::uint8_t, kScoreCodeLength> kScoreCodeOrder = MakeOrder();

std::string ScoreCodeDigits(const TGameStatistics& s) {
    std::string digits;
    AppendField(digits, s.GroupBonuses, 3, "group bonuses");
    AppendField(digits, s.CondomsFired, 4, "condoms fired");
    AppendField(digits, s.TorpedoesFired, 3, "torpedoes fired");
    AppendField(digits, s.LevelsWon, 1, "levels won");
    for (int i = 0; i < kCreatureTypeCount; ++i) {
        if (CreatureTypes[i].Points == 0) continue;
        AppendField(digits, s.Catches[i], 3, "catches");
        AppendField(digits, s.EarlyCatches[i], 3, "early catches");
    }
    return digits;
}

char PickCodeLetter(int digit, TRandom& random) {
    const std::string_view alphabet = kScoreCodeAlphabets.at(static_cast<std::size_t>(digit));
    return alphabet[random.Below(static_cast<std::uint32_t>(alphabet.size()))];
}

std::string ScoreCode(const TGameStatistics& stats, TRandom& random) {
    const std::string digits = ScoreCodeDigits(stats);
    if (digits.size() % kScoreCodeLength != 0) throw EScoreCodeError("The score code is not whole blocks");
    std::string letters;
    letters.reserve(digits.size());
    for (char d : digits) letters += PickCodeLetter(d - '0', random);
    std::string code(letters.size(), ' ');
    for (std::size_t k = 0; k < letters.size(); ++k) {
        code[k] = letters[kScoreCodeOrder[k % kScoreCodeLength] - 1 + kScoreCodeLength * (k / kScoreCodeLength)];
    }
    return code;
}

std::string FillEmptyFields(std::string text) {
    std::size_t at;
    while ((at = text.find("||")) != std::string::npos) text.insert(at + 1, " ");
    return text;
}

std::string BuildScoreRecord(const TEnvironmentRecord& r, int slot, bool newGameMail, TRandom& random) {
    const TScenarioProgress& p = r.Scenarios.at(static_cast<std::size_t>(slot));
    const char* gender = r.Gender == 1 ? "m" : r.Gender == 2 ? "f" : " ";
    std::string t = std::string(kScoreRecordMagic) + "|";
    for (const std::string& field : {
             TrimText(r.ScoreUID.View()),
             std::to_string(slot),
             std::to_string(p.HighScores[0].Score),
             BarsToSlashes(r.PlayerAlias.View(), 150),
             BarsToSlashes(r.City.View(), 60),
             BarsToSlashes(r.State.View(), 60),
             std::to_string(r.Country),
             BarsToSlashes(r.Email.View(), 100),
             r.Age != 0 ? std::to_string(r.Age) : std::string(),
             std::string(gender),
             WithoutBars(r.Comment.View()),
             std::to_string(p.GamesStarted),
             std::to_string(p.LevelsFinished),
             ScoreCode(p.BestGameStats, random),
             std::string(newGameMail ? "1" : "0"),
         }) {
        t += field + "|";
    }
    t += std::string(kScoreRecordMagic) + "|";
    return FillEmptyFields(t);
}

std::map<std::string, std::string> ParseNameValueReply(const std::string& reply) {
    std::map<std::string, std::string> values;
    for (const std::string& line : SplitLines(reply)) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        // The server's names count in any case; they are kept in upper case.
        values.emplace(UpperAscii(line.substr(0, eq)), line.substr(eq + 1));
    }
    return values;
}

bool IsNameValueReply(const std::string& reply) {
    for (const std::string& line : SplitLines(reply)) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        bool name = true;
        for (std::size_t i = 0; i < eq && name; ++i) {
            const char c = line[i];
            name = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        }
        if (name) return true;
    }
    return false;
}

std::string BuildReplayUpload(const std::string& partName, std::string_view fileBytes) {
    std::string body = std::string("--") + kUploadBoundary + "\r\n";
    body += "Content-Disposition: form-data; name=\"" + partName + "\" filename=\"t.t\"\r\n";
    body += "Content-type: application/octet-stream\r\n\r\n";
    body += fileBytes;
    body += std::string("\r\n--") + kUploadBoundary + "--\r\n";
    return body;
}

bool IsSafePartName(const std::string& name) {
    if (name.empty()) return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == '"' || c == 0x7F) return false;
    }
    return true;
}

}  // namespace qv
