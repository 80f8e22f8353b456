// What publishing a high score sends: the score code of the best game's
// statistics, the score record, the server's NAME=VALUE answer and the
// multipart body of the replay upload. Pure functions; no network.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "foundation/Exceptions.h"
#include "foundation/Random.h"
#include "foundation/qv3Environment.h"
#include "foundation/qv3GameStatistics.h"

namespace qv {

// A statistics value that does not fit its field of the score code.
class EScoreCodeError : public Exception {
public:
    using Exception::Exception;
};

// One substitution alphabet per decimal digit: 7 letters for 0, 5 for the
// others; together every upper- and lower-case letter once. The server
// holds the same tables.
extern const std::array<std::string_view, 10> kScoreCodeAlphabets;
inline constexpr int kScoreCodeLength = 107;
// Positions 1..107: output letter k is letter kScoreCodeOrder[k] of the
// substituted text.
extern const std::array<std::uint8_t, kScoreCodeLength> kScoreCodeOrder;

// The decimal digits: group bonuses (3), condoms (4), torpedoes (3), levels
// won (1), then catches (3) and early catches (3) of every scoring creature
// type. A value below 0 or wider than its field throws EScoreCodeError.
std::string ScoreCodeDigits(const TGameStatistics& stats);
// A random letter of digit `digit`'s alphabet.
char PickCodeLetter(int digit, TRandom& random);
// The digits substituted and reordered.
std::string ScoreCode(const TGameStatistics& stats, TRandom& random);

inline constexpr const char* kScoreRecordMagic = "QVX3";

// The record of `slot`'s best score from `record`. Alias, city, state and
// e-mail have their bars made slashes; bars are dropped from the comment,
// so no typed text can add a field. Empty fields are then filled with a
// blank. Throws EScoreCodeError for statistics that do not fit.
std::string BuildScoreRecord(const TEnvironmentRecord& record, int slot, bool newGameMail, TRandom& random);
// Inserts a blank into every empty field ("||" becomes "| |").
std::string FillEmptyFields(std::string text);

// NAME=VALUE lines; names in upper case (they match in any case), the first
// of a name wins, values with trailing line ends removed.
std::map<std::string, std::string> ParseNameValueReply(const std::string& reply);
// Whether `reply` is an answer of NAME=VALUE lines at all: at least one
// line whose name, before the first '=', is letters, digits and '_' only.
bool IsNameValueReply(const std::string& reply);

inline constexpr const char* kUploadBoundary = "------------------------------QVX2Rulez";
// The replay upload: one form part named `partName`, file name t.t.
std::string BuildReplayUpload(const std::string& partName, std::string_view fileBytes);
// Whether a part name from the server may stand in the part's header.
bool IsSafePartName(const std::string& name);

}  // namespace qv
