#include "frontend/online/qv3PublishFlow.h"

#include <sstream>

#include "foundation/TextUtil.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3HostList.h"
#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3OnlineUi.h"
#include "frontend/online/qv3Transfer.h"
#include "frontend/online/qv3ScoreRecord.h"
#include "frontend/qv3SettingsFile.h"
#include "game/core/qv3ReplayFiles.h"
#include "platform/system/Files.h"

namespace qv {

namespace {

constexpr int kTextNeedAlias = 352;
constexpr int kTextPublishFailed = 353;
// The most of a server's reply a message box shows, and the log keeps.
constexpr std::size_t kShownReplyLimit = 300;
constexpr std::size_t kLoggedReplyLimit = 2000;

std::string Bounded(const std::string& reply, std::size_t limit) {
    if (reply.size() <= limit) return reply;
    return reply.substr(0, limit) + "...";
}

}  // namespace

void StoreFields(const TPublishFields& f, TEnvironmentRecord& r) {
    r.PlayerAlias = f.Alias;  // each field keeps what fits
    r.City = f.City;
    r.State = f.State;
    r.Age = f.Age < 0 ? 0 : f.Age;
    r.Gender = static_cast<std::uint8_t>(f.Gender == 2 ? 2 : f.Gender == 1 ? 1 : 0);
    r.Email = f.Email;
    r.Comment = f.Comment;
    r.Country = static_cast<std::uint16_t>(f.CountryIndex >= 0 ? f.CountryIndex + 1 : 0);
}

TPublishResult PublishHighscore(const TPublishFields& fields, int slot, TRandom& random) {
    StoreFields(fields, Environment);
    if (TrimText(Environment.PlayerAlias.Str()).empty()) {
        ShowOnlineMessage(TMessageKind::Plain, LangText(kTextNeedAlias));
        SaveSettings();
        return TPublishResult::NeedAlias;
    }
    std::string reply;
    TPublishResult result = TPublishResult::Failed;
    try {
        if (slot < 0 || slot >= static_cast<int>(kScenarioSlotCount)) throw Exception("No scenario selected");
        const std::string record = BuildScoreRecord(Environment, slot, fields.NewGameMail, random);
        if (!CheckInternet(true)) {
            if (HostWaitCancelled()) throw ETransferAborted();
            throw Exception("Operation aborted");
        }
        const int language = ReadLanguageIndex();
        const int score = Environment.Scenarios[slot].HighScores[0].Score;
        {
            TPleaseWaitScope wait(kPublishWaitText);
            reply = HttpGetText(ScorePrefix() + "score5.php?lid=" + std::to_string(language) +
                                    "&cs=" + ScrambleForSubmit(record, random),
                                kMaxTextReplyBytes);
            // A reply of no NAME=VALUE line is no answer (an error page,
            // a cut reply): nothing of it is taken.
            if (!IsNameValueReply(reply)) throw Exception(kPublishNoAnswerText);
            const auto values = ParseNameValueReply(reply);
            auto value = [&](const char* name) {
                const auto it = values.find(name);
                return it == values.end() ? std::string() : it->second;
            };
            if (!value("ERR").empty()) throw Exception(Bounded(reply, kShownReplyLimit));
            if (const std::string uid = TrimText(value("UID")); !uid.empty() && !HasControlBytes(uid))
                Environment.ScoreUID = uid.substr(0, 32);
            const std::string upload = value("UPID");
            if (!upload.empty()) {
                if (!IsSafePartName(upload)) throw Exception("Invalid upload id from the server");
                const auto bytes = sys::ReadFileText(MyBestReplayPath(slot), kMaxReplayFileSize);
                if (!bytes) throw Exception("Unable to read " + MyBestReplayPath(slot));
                std::ostringstream ignored;
                HttpPostMultipart(ScorePrefix() + "/xscore.php", kUploadBoundary, BuildReplayUpload(upload, *bytes),
                                  ignored);
            }
        }
        OpenURL(ScorePrefix() + "dscore.php?uid=" + PercentEncode(TrimText(Environment.ScoreUID.Str())) +
                "&tid=" + std::to_string(slot) + "&lid=" + std::to_string(language) + "&sc=" + std::to_string(score));
        result = TPublishResult::Published;
    } catch (const ETransferAborted&) {
        // Cancelled: the form stays open; a UID the server gave is kept.
    } catch (const std::exception& e) {
        LogMessage(std::string("Error publishing highscore: ") + e.what() + "\r\n" + Bounded(reply, kLoggedReplyLimit), lkInfo);
        ShowOnlineMessage(TMessageKind::Plain, LangText(kTextPublishFailed) + " " + e.what());
    }
    SaveSettings();
    return result;
}

}  // namespace qv
