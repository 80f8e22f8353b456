#include <gtest/gtest.h>

#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "frontend/online/qv3PublishFlow.h"
#include "frontend/online/qv3ScoreRecord.h"
#include "frontend/qv3SettingsFile.h"
#include "game/core/qv3ReplayFiles.h"
#include "game/logic/qv3ReplayPack.h"
#include "platform/system/Files.h"
#include "tests/online/FailingReplies.h"
#include "tests/online/HoldingServer.h"
#include "tests/online/NetTestSupport.h"
#include "tests/online/OnlineFixture.h"
#include "tests/online/RawHttpServer.h"

namespace qv::test {
namespace {

constexpr int kSlot = 2;

// The score server: checks the record it gets and answers as told.
class PublishTest : public OnlineTest {
protected:
    void SetUp() override {
        OnlineTest::SetUp();
        HostsResolved = true;
        Environment.HighScoreHost = server_.Host();
        Environment.HighScoreBase = "/qvx3/";
        TScenarioProgress& p = Environment.Scenarios[kSlot];
        p.HighScores[0].Score = 12500;
        p.GamesStarted = 4;
        p.LevelsFinished = 3;
        p.BestGameStats.GroupBonuses = 3;
        p.BestGameStats.CondomsFired = 120;
        fields_.Alias = "Ace";
        fields_.City = "Graz";
        fields_.CountryIndex = 12;
        fields_.Comment = "well|played";
    }

    RawResponse Answer(const RawRequest& req) {
        if (req.Method == "GET" && req.Path() == "/qvx3/score5.php") {
            const std::string record = Descramble(req.Query("cs"));
            std::string trimmed = record.substr(0, record.find_last_not_of(' ') + 1);
            records_.push_back(trimmed);
            const auto fields = SplitFields(trimmed, '|');
            if (fields.size() != 17 || fields[0] != "QVX3" || fields[16] != "QVX3") return {200, "ERR=bad record"};
            return {200, answer_};
        }
        if (req.Method == "POST" && req.Path() == "/qvx3//xscore.php") {
            uploads_.push_back(req.Body);
            return {200, "ignored"};
        }
        return {404, "not here"};
    }

    std::string answer_;
    std::vector<std::string> records_;
    std::vector<std::string> uploads_;
    TPublishFields fields_;
    RawHttpServer server_{[this](const RawRequest& req) { return Answer(req); }};
};

TEST_F(PublishTest, UidAndUploadRequestThenTheScorePage) {
    answer_ = "UID=  abc  \r\nUPID=replay\r\n";
    const std::string replay("zkq3p\x00\x01\x02 replay bytes", 20);
    ASSERT_TRUE(sys::WriteFileAtomic(MyBestReplayPath(kSlot), replay));
    EXPECT_EQ(PublishHighscore(fields_, kSlot), TPublishResult::Published);
    EXPECT_TRUE(messages_.empty()) << messages_[0].Text;
    EXPECT_EQ(Environment.ScoreUID, "abc");
    EXPECT_EQ(Environment.PlayerAlias, "Ace");
    EXPECT_EQ(Environment.Country, 13);

    ASSERT_EQ(records_.size(), 1u);
    EXPECT_EQ(records_[0].rfind("QVX3| |2|12500|Ace|Graz| |13| | | |wellplayed|4|3|", 0), 0u) << records_[0];
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Query("lid"), "0");
    ASSERT_EQ(uploads_.size(), 1u);
    EXPECT_EQ(uploads_[0], "--------------------------------QVX2Rulez\r\n"
                           "Content-Disposition: form-data; name=\"replay\" filename=\"t.t\"\r\n"
                           "Content-type: application/octet-stream\r\n\r\n" +
                               replay + "\r\n--------------------------------QVX2Rulez--\r\n");
    EXPECT_EQ(requests[1].Header("Content-Type"),
              "multipart/form-data; boundary=------------------------------QVX2Rulez");
    EXPECT_EQ(opened_, std::vector<std::string>{"http://" + server_.Host() +
                                                "/qvx3/dscore.php?uid=abc&tid=2&lid=0&sc=12500"});
    EXPECT_EQ(pleaseWait_, std::vector<std::string>{"publishes your highscore."});
    // What was stored is on disk.
    TEnvironmentRecord saved;
    ASSERT_TRUE(LoadEnvironment(saved, SettingsFilePath()));
    EXPECT_EQ(saved.ScoreUID, "abc");
}

TEST_F(PublishTest, AnswersWithoutUploadOrWithAnError) {
    Environment.ScoreUID = "u1";
    answer_ = "STATUS=OK\r\n";
    EXPECT_EQ(PublishHighscore(fields_, kSlot), TPublishResult::Published);
    EXPECT_TRUE(uploads_.empty());
    EXPECT_EQ(Environment.ScoreUID, "u1");
    ASSERT_EQ(records_.size(), 1u);
    EXPECT_EQ(records_[0].rfind("QVX3|u1|", 0), 0u);

    answer_ = "ERR=score too low\r\n";
    opened_.clear();
    EXPECT_EQ(PublishHighscore(fields_, kSlot), TPublishResult::Failed);
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(353) + " ERR=score too low\r\n"});
    EXPECT_NE(Log().find("* Info: Error publishing highscore: ERR=score too low\r\n\r\nERR=score too low\r\n"),
              std::string::npos);
    EXPECT_TRUE(opened_.empty());
    EXPECT_TRUE(sys::FileExists(SettingsFilePath()));  // saved all the same
}

TEST_F(PublishTest, ReplyNamesCountInAnyCase) {
    struct Case {
        const char* answer;
        TPublishResult result;
        const char* uid;  // the stored id afterwards
    } cases[] = {
        {"uid=abc\r\n", TPublishResult::Published, "abc"},
        {"Uid= xyz \r\n", TPublishResult::Published, "xyz"},
        {"err=score too low\r\n", TPublishResult::Failed, "u1"},
        {"Err=locked\r\nUID=new\r\n", TPublishResult::Failed, "u1"},
        {"UID=ev\x01il\r\n", TPublishResult::Published, "u1"},  // control bytes are no id to store
        {"UID=x\x1b[2J\r\n", TPublishResult::Published, "u1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        Environment.ScoreUID = "u1";
        messages_.clear();
        answer_ = c.answer;
        EXPECT_EQ(PublishHighscore(fields_, kSlot), c.result);
        EXPECT_EQ(Environment.ScoreUID, c.uid);
    }
    // An upload request in lower case is an upload request.
    ASSERT_TRUE(sys::WriteFileAtomic(MyBestReplayPath(kSlot), "zkq3p bytes"));
    answer_ = "upid=replay\r\n";
    EXPECT_EQ(PublishHighscore(fields_, kSlot), TPublishResult::Published);
    EXPECT_EQ(uploads_.size(), 1u);
}

TEST_F(PublishTest, FailuresBeforeAndDuringTheUpload) {
    struct Case {
        const char* name;
        std::string answer;
        bool connected;
        std::string message;
    } cases[] = {
        {"no replay to upload", "UPID=replay\r\n", true, "Unable to read "},
        {"part name that breaks the header", "UPID=a\"b\r\n", true, "Invalid upload id from the server"},
        {"offline", "", false, "Operation aborted"},
    };
    for (const Case& c : cases) {
        messages_.clear();
        answer_ = c.answer;
        connected_ = c.connected;
        EXPECT_EQ(PublishHighscore(fields_, kSlot), TPublishResult::Failed) << c.name;
        ASSERT_FALSE(messages_.empty()) << c.name;
        EXPECT_EQ(messages_.back().Text.rfind(LangText(353) + " " + c.message, 0), 0u) << c.name;
        if (!c.connected) {
            EXPECT_EQ(messages_.front().Text, LangText(351));
        }
    }
    EXPECT_TRUE(uploads_.empty());
    EXPECT_TRUE(opened_.empty());
}

TEST_F(PublishTest, NothingIsSentWithoutAnAliasOrWithCountsThatDoNotFit) {
    fields_.Alias = "   ";
    EXPECT_EQ(PublishHighscore(fields_, kSlot), TPublishResult::NeedAlias);
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(352)});
    EXPECT_EQ(Environment.City, "Graz");  // stored all the same

    messages_.clear();
    fields_.Alias = "Ace";
    Environment.Scenarios[kSlot].BestGameStats.CondomsFired = 12000;
    EXPECT_EQ(PublishHighscore(fields_, kSlot), TPublishResult::Failed);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].Text.find("condoms fired 12000"), std::string::npos);
    EXPECT_TRUE(server_.Requests().empty());
}

// A score server that answers wrongly: the publication fails with text 353
// and a short reason, the id stays as it was, nothing is uploaded and no
// score page opens; the dialog's fields are kept all the same.
TEST_F(PublishTest, AWrongAnswerIsAFailedPublication) {
    ASSERT_TRUE(sys::WriteFileAtomic(MyBestReplayPath(kSlot), "zkq3p bytes"));
    for (const FailingReply& reply : FailingReplies()) {
        SCOPED_TRACE(reply.Name);
        messages_.clear();
        Environment.ScoreUID = "u1";
        HoldingServer server({reply.Bytes});
        Environment.HighScoreHost = server.Host();
        EXPECT_EQ(PublishHighscore(fields_, kSlot), TPublishResult::Failed);
        EXPECT_EQ(Environment.ScoreUID, "u1");
        ASSERT_EQ(messages_.size(), 1u);
        const std::string& text = messages_[0].Text;
        EXPECT_EQ(text.rfind(LangText(353) + " ", 0), 0u) << text;
        // A reply over the text cap fails as a transfer; the others arrive
        // and are no answer.
        if (!reply.TransferFails && reply.Bytes.size() <= kMaxTextReplyBytes) {
            EXPECT_EQ(text, LangText(353) + " " + kPublishNoAnswerText);
        }
        EXPECT_LT(text.size(), 400u);
        EXPECT_TRUE(opened_.empty());
        EXPECT_FALSE(server.WaitHolding(std::chrono::milliseconds(0)));  // no upload asked for
        TEnvironmentRecord saved;
        ASSERT_TRUE(LoadEnvironment(saved, SettingsFilePath()));
        EXPECT_EQ(saved.ScoreUID, "u1");
        EXPECT_EQ(saved.PlayerAlias, "Ace");
    }
    // What the log keeps of a reply is bounded too.
    EXPECT_LT(Log().size(), 100000u);
}

TEST_F(PublishTest, AnErrorTextOfTheServerIsShownShort) {
    answer_ = "ERR=" + std::string(5000, 'x');
    EXPECT_EQ(PublishHighscore(fields_, kSlot), TPublishResult::Failed);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].Text, LangText(353) + " ERR=" + std::string(296, 'x') + "...");
}

TEST(NameValueReplyTest, AnAnswerHoldsANamedValue) {
    for (const char* reply : {"UID=a", "x\r\nUPID=b\r\n", "ERR=", "STATUS_2=ok"}) {
        EXPECT_TRUE(IsNameValueReply(reply)) << reply;
    }
    for (const char* reply : {"", "OK", "=value", "<a href=x>", "a b=c", "\xFE=1", "UID"}) {
        EXPECT_FALSE(IsNameValueReply(reply)) << reply;
    }
}

}  // namespace
}  // namespace qv::test
