// Publishing the best score of a scenario: the dialog's fields into the
// settings record, one scrambled score record to the score server, the
// replay upload when the server asks for it, then the player's entry on the
// web table. Headless; the dialog calls it.
#pragma once

#include <string>

#include "foundation/Random.h"
#include "foundation/qv3Environment.h"

namespace qv {

// What the player typed or chose in the dialog (Windows-1252 text).
struct TPublishFields {
    std::string Alias, City, State, Email, Comment;
    int Age = 0;
    int Gender = 0;         // 0 not given, 1 male, 2 female
    int CountryIndex = -1;  // selected list entry, -1 none
    bool NewGameMail = false;
};

// The fields into the record, each cut to its stored length.
void StoreFields(const TPublishFields& fields, TEnvironmentRecord& record);

enum class TPublishResult { Published, NeedAlias, Failed };

// The whole publication of `slot`'s best score; reports to the player
// itself (texts 352, 353) and saves the settings in every case.
TPublishResult PublishHighscore(const TPublishFields& fields, int slot, TRandom& random = ProgramRandom());

inline constexpr const char* kPublishWaitText = "publishes your highscore.";
// The message after text 353 when the score server's reply holds no answer.
inline constexpr const char* kPublishNoAnswerText = "The server's reply is not an answer.";

}  // namespace qv
