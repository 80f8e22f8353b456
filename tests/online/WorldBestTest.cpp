#include <gtest/gtest.h>
#include <sys/stat.h>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "frontend/online/qv3WorldBest.h"
#include "frontend/qv3SettingsFile.h"
#include "game/core/qv3ReplayFiles.h"
#include "game/logic/qv3ReplayPack.h"
#include "platform/system/Files.h"
#include "tests/online/FailingReplies.h"
#include "tests/online/HoldingServer.h"
#include "tests/online/OnlineFixture.h"
#include "tests/online/RawHttpServer.h"

namespace qv::test {
namespace {

constexpr int kSlot = 3;

class WorldBestTest : public OnlineTest {
protected:
    void SetUp() override {
        OnlineTest::SetUp();
        HostsResolved = true;
        Environment.HighScoreHost = server_.Host();
        Environment.HighScoreBase = "/qvx3/";
        // A valid pack made by the replay writer, served as a new file.
        TReplayPack pack;
        pack.AddLevel(1, true, true, [] { return TReplayPack::TBytes{'z', 'k', 'q', '3', 'r', 1, 2, 3}; });
        const TReplayPack::TBytes bytes = pack.ToStream();
        validPack_.assign(bytes.begin(), bytes.end());
    }

    std::string Stored() const { return sys::ReadFileText(WorldBestReplayPath(kSlot)).value_or("<none>"); }

    std::string answer_;
    std::string validPack_;
    std::string junk_ = "<html><body>500 Internal error</body></html>";
    int uploadStatus_ = 200;
    RawHttpServer server_{[this](const RawRequest& req) {
        if (req.Path() == "/qvx3/firstplace.php") return RawResponse{200, answer_};
        if (req.Path() == "/qvx3/upload/wb_3_42.gmp") return RawResponse{uploadStatus_, validPack_};
        if (req.Path() == "/qvx3/upload/junk.gmp") return RawResponse{200, junk_};
        return RawResponse{404, "<html>missing</html>"};
    }};
};

TEST_F(WorldBestTest, FirstUseAsksForTheFileAndStoresIt) {
    for (const char* reply : {"wb_3_42.gmp", "wb_3_42.gmp\r\n"}) {
        Environment.Scenarios[kSlot].WorldBestFile = "";
        answer_ = reply;
        std::vector<std::pair<int, int>> states;
        TWorldBestDownload download(kSlot);
        download.OnStateChanged = [&] { states.emplace_back(download.CheckState(), download.DownloadState()); };
        download.Run();
        EXPECT_TRUE(download.ReplayEnabled());
        EXPECT_EQ(download.CheckState(), 2);
        EXPECT_EQ(download.DownloadState(), 2);
        EXPECT_EQ(states, (std::vector<std::pair<int, int>>{{1, 0}, {2, 0}, {2, 1}, {2, 2}}));
        EXPECT_EQ(Stored(), validPack_);
        struct stat st {};
        ASSERT_EQ(::stat(WorldBestReplayPath(kSlot).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);  // the player's own, as every replay
        EXPECT_EQ(Environment.Scenarios[kSlot].WorldBestFile, "wb_3_42.gmp");
        TEnvironmentRecord saved;
        ASSERT_TRUE(LoadEnvironment(saved, SettingsFilePath()));
        EXPECT_EQ(saved.Scenarios[kSlot].WorldBestFile, "wb_3_42.gmp");
    }
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].Target, "/qvx3/firstplace.php?f=REQ&tid=3");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(WorldBestTest, CurrentOrUnavailable) {
    Environment.Scenarios[kSlot].WorldBestFile = "wb 3&x.gmp";
    answer_ = "ok\r\n";
    TWorldBestDownload current(kSlot);
    current.Run();
    EXPECT_TRUE(current.ReplayEnabled());
    EXPECT_EQ(current.DownloadState(), 2);
    EXPECT_EQ(server_.Requests().size(), 1u);  // nothing downloaded
    EXPECT_EQ(server_.Requests()[0].Target, "/qvx3/firstplace.php?f=wb%203%26x.gmp&tid=3");

    answer_ = "ERR";
    TWorldBestDownload unavailable(kSlot);
    unavailable.Run();
    EXPECT_FALSE(unavailable.ReplayEnabled());
    EXPECT_EQ(unavailable.CheckState(), 2);
    EXPECT_EQ(unavailable.DownloadState(), 3);
    EXPECT_EQ(Texts(), std::vector<std::string>{kWorldBestUnavailableText});
}

TEST_F(WorldBestTest, ABadDownloadNeverReplacesTheGoodReplay) {
    ASSERT_TRUE(sys::WriteFileAtomic(WorldBestReplayPath(kSlot), validPack_));
    Environment.Scenarios[kSlot].WorldBestFile = "wb_3_41.gmp";
    struct Case {
        const char* name;
        std::string answer;
        int uploadStatus;
        const char* logged;
    } cases[] = {
        {"an error page instead of a pack", "junk.gmp", 200, kWorldBestInvalidText},
        {"a name the server does not hold", "gone.gmp", 200, "HTTP error 404"},
        {"the upload fails", "wb_3_42.gmp", 500, "HTTP error 500"},
    };
    for (const Case& c : cases) {
        messages_.clear();
        answer_ = c.answer;
        uploadStatus_ = c.uploadStatus;
        TWorldBestDownload download(kSlot);
        download.Run();
        EXPECT_FALSE(download.ReplayEnabled()) << c.name;
        EXPECT_EQ(download.CheckState(), 2) << c.name;
        EXPECT_EQ(download.DownloadState(), 3) << c.name;
        EXPECT_EQ(Texts(), std::vector<std::string>{kWorldBestFetchFailedText}) << c.name;
        EXPECT_NE(Log().find(std::string("* Warning: Error fetching world's best game replay file: ") + c.logged),
                  std::string::npos)
            << c.name;
        EXPECT_EQ(Stored(), validPack_) << c.name;
        EXPECT_EQ(Environment.Scenarios[kSlot].WorldBestFile, "wb_3_41.gmp") << c.name;
        EXPECT_FALSE(sys::FileExists(WorldBestReplayPath(kSlot) + ".tmp"));
    }
}

TEST_F(WorldBestTest, NoAnswerMarksTheCheckFailed) {
    connected_ = false;
    TWorldBestDownload offline(kSlot);
    offline.Run();
    EXPECT_EQ(offline.CheckState(), 3);
    EXPECT_EQ(offline.DownloadState(), 3);
    EXPECT_EQ(Texts(), (std::vector<std::string>{messages_[0].Text, kWorldBestFetchFailedText}));
    EXPECT_TRUE(server_.Requests().empty());

    connected_ = true;
    messages_.clear();
    Environment.HighScoreHost = "127.0.0.1:1";  // nothing listens there
    TWorldBestDownload unreachable(kSlot);
    unreachable.Run();
    EXPECT_EQ(unreachable.CheckState(), 3);
    EXPECT_EQ(Texts(), std::vector<std::string>{kWorldBestFetchFailedText});
}

// A server that answers wrongly, at the check or at the download: the
// replay held stays, and so does its name; the player is told the fetch
// failed; nothing is asked for after a check that gave no answer.
TEST_F(WorldBestTest, AWrongAnswerKeepsTheReplayHeld) {
    ASSERT_TRUE(sys::WriteFileAtomic(WorldBestReplayPath(kSlot), validPack_));
    for (const FailingReply& reply : FailingReplies()) {
        for (const bool atCheck : {true, false}) {
            SCOPED_TRACE(reply.Name + (atCheck ? " at the check" : " at the download"));
            messages_.clear();
            Environment.Scenarios[kSlot].WorldBestFile = "wb_3_41.gmp";
            std::vector<std::string> answers;
            if (!atCheck) answers.push_back(HoldingServer::Reply("wb_3_42.gmp"));
            answers.push_back(reply.Bytes);
            HoldingServer server(answers);
            Environment.HighScoreHost = server.Host();
            TWorldBestDownload download(kSlot);
            download.Run();
            EXPECT_FALSE(download.ReplayEnabled());
            EXPECT_EQ(download.CheckState(), atCheck ? kStepFailed : kStepDone);
            EXPECT_EQ(download.DownloadState(), kStepFailed);
            EXPECT_EQ(Texts(), std::vector<std::string>{kWorldBestFetchFailedText});
            EXPECT_EQ(Stored(), validPack_);
            EXPECT_EQ(Environment.Scenarios[kSlot].WorldBestFile, "wb_3_41.gmp");
            // No further request: the server holds none.
            EXPECT_FALSE(server.WaitHolding(std::chrono::milliseconds(0)));
        }
    }
}

TEST_F(WorldBestTest, OnlyTheServersFormOfAFileName) {
    for (const char* name : {"wb_3_42.gmp", "A-b.c_9", "x"}) EXPECT_TRUE(IsWorldBestFileName(name)) << name;
    const std::string tooLong(31, 'a');
    for (const std::string& name : {std::string(), tooLong, std::string(".hidden"), std::string("../env.dat"),
                                    std::string("a/b"), std::string("a b"), std::string("a%2e"),
                                    std::string("<html>"), std::string("name\xE9")}) {
        EXPECT_FALSE(IsWorldBestFileName(name)) << name;
    }
    EXPECT_TRUE(IsWorldBestFileName(std::string(30, 'a')));
}

}  // namespace
}  // namespace qv::test
