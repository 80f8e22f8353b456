#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3HostList.h"
#include "tests/online/LocalHttpServer.h"
#include "tests/online/OnlineFixture.h"

namespace qv::test {
namespace {

class HostListTest : public OnlineTest {
protected:
    void TearDown() override {
        FreeHostListFetch();
        OnlineTest::TearDown();
    }
    void StoreHosts() {
        Environment.HighScoreHost = "old-scores";
        Environment.HighScoreBase = "/old/";
        Environment.ChatHost = "old-chat";
        Environment.InternalHost = "old-web";
        Environment.InternalBase = "/oldint/";
        Environment.SupportURL = "http://old-web/support";
    }
};

TEST_F(HostListTest, FailedDownloadOnFirstRunGivesTheDefaults) {
    int calls = 0;
    HostListFetch = std::make_unique<TThreadedHttpGet>("http://x/hosts", [&](const std::string&) -> std::string {
        ++calls;
        throw std::runtime_error("unreachable");
    });
    ResolveHosts();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(HostsResolved);
    // The log keeps why the list did not come.
    EXPECT_NE(ReadLogText().find("unreachable"), std::string::npos);
    EXPECT_EQ(Environment.HighScoreHost, kDefaultHighScoreHost);
    EXPECT_EQ(Environment.HighScoreBase, "/qvx3/");
    EXPECT_EQ(Environment.ChatHost, kDefaultChatHost);
    EXPECT_EQ(Environment.InternalHost, kDefaultWebHost);
    EXPECT_EQ(Environment.InternalBase, "/qvx3internal/");
    EXPECT_EQ(Environment.SupportURL, std::string("http://") + kDefaultWebHost + "/qvx3internal/");
    // Once per run.
    Environment.ChatHost = "kept";
    ResolveHosts();
    EXPECT_EQ(Environment.ChatHost, "kept");
    EXPECT_EQ(calls, 1);
}

TEST_F(HostListTest, ListsApplyOnlyTheKeysTheyHold) {
    struct Case {
        const char* name;
        std::string list;
    } cases[] = {
        {"LF", "ChatHost=new-chat\nOther=1\n"},
        {"CR LF", "ChatHost=new-chat\r\nOther=1\r\n"},
        {"lower-case key", "chathost=new-chat"},
        {"later duplicate ignored", "CHATHOST=new-chat\nChatHost=second\n"},
    };
    for (const Case& c : cases) {
        TEnvironmentRecord r;
        r.HighScoreHost = "old-scores";
        r.ChatHost = "old-chat";
        ApplyHostList(c.list, r);
        EXPECT_EQ(r.ChatHost, "new-chat") << c.name;
        EXPECT_EQ(r.HighScoreHost, "old-scores") << c.name;
    }
    TEnvironmentRecord r;
    ApplyHostList("SupportURL=http://a/b?c=d=e\nHighScoreBase=" + std::string(200, 'b') + "\nInternalHost\n", r);
    EXPECT_EQ(r.SupportURL, "http://a/b?c=d=e");  // everything after the first '='
    EXPECT_EQ(r.HighScoreBase.size(), 150u);
    EXPECT_TRUE(r.InternalHost.empty());
}

// A server's NUL or control bytes never reach the settings: such a value is
// no host or address, and the stored one stays.
TEST_F(HostListTest, ValuesWithControlBytesAreNotStored) {
    for (const std::string& value : {std::string("ev\0il", 5), std::string("evil\x01"), std::string("a\tb"),
                                     std::string("\x1b[31mred"), std::string("del\x7f")}) {
        SCOPED_TRACE(value);
        TEnvironmentRecord r;
        r.ChatHost = "old-chat";
        r.SupportURL = "http://old/";
        ApplyHostList("ChatHost=" + value + "\nSupportURL=" + value + "\nHighScoreHost=scores.example\n", r);
        EXPECT_EQ(r.ChatHost, "old-chat");
        EXPECT_EQ(r.SupportURL, "http://old/");
        EXPECT_EQ(r.HighScoreHost, "scores.example");  // the rest of the list applies
    }
}

TEST_F(HostListTest, StoredHostsServeUntilTheListHasArrived) {
    StoreHosts();
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    HostListFetch = std::make_unique<TThreadedHttpGet>("http://x/hosts", [&](const std::string&) {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return release; });
        return std::string("HighScoreHost=new-scores\r\n");
    });
    ResolveHosts();  // returns while the fetch waits
    EXPECT_FALSE(HostsResolved);
    EXPECT_TRUE(HostListFetch->Started());
    EXPECT_EQ(Environment.HighScoreHost, "old-scores");
    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
    }
    cv.notify_all();
    HostListFetch->StartAndWait();  // waits for the thread; starts nothing new
    ResolveHosts();
    EXPECT_TRUE(HostsResolved);
    EXPECT_EQ(Environment.HighScoreHost, "new-scores");
    EXPECT_EQ(Environment.ChatHost, "old-chat");
}

TEST_F(HostListTest, OfflineNothingIsFetched) {
    connected_ = false;
    bool fetched = false;
    HostListFetch = std::make_unique<TThreadedHttpGet>("http://x/hosts", [&](const std::string&) {
        fetched = true;
        return std::string();
    });
    EXPECT_FALSE(CheckInternet(false));
    EXPECT_TRUE(messages_.empty());
    EXPECT_FALSE(CheckInternet(true));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].Kind, TMessageKind::Information);
    EXPECT_EQ(messages_[0].Text, LangText(351));
    EXPECT_NE(Log().find("* Info: Unable to connect to the internet\r\n"), std::string::npos);
    EXPECT_FALSE(HostListFetch->Started());
    EXPECT_FALSE(fetched);
    EXPECT_FALSE(HostsResolved);
}

TEST_F(HostListTest, ListFromTheLocalServer) {
    LocalHttpServer server([](httplib::Server& s) {
        s.Get("/hosts/qvx3hosts.txt", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(
                "HighScoreHost=127.0.0.1:1\nHighScoreBase=/qvx3/\nChatHost=127.0.0.1:2\n"
                "InternalHost=127.0.0.1:3\nInternalBase=/qvx3internal/\nSupportURL=http://127.0.0.1:3/s\n",
                "text/plain");
        });
    });
    HostListFetch = std::make_unique<TThreadedHttpGet>(server.Url(kHostListPath));
    EXPECT_TRUE(CheckInternet(true));
    EXPECT_EQ(Environment.HighScoreHost, "127.0.0.1:1");
    EXPECT_EQ(Environment.SupportURL, "http://127.0.0.1:3/s");
    EXPECT_EQ(ScorePrefix(), "http://127.0.0.1:1/qvx3/");
    EXPECT_EQ(InternalPrefix(), "http://127.0.0.1:3/qvx3internal/");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(HostListTest, MadeSuspendedForTheFixedServer) {
    CreateHostListFetch();
    ASSERT_TRUE(HostListFetch);
    EXPECT_EQ(HostListFetch->Url(), "http://hosts.tollbeck.example/hosts/qvx3hosts.txt");
    EXPECT_FALSE(HostListFetch->Started());
    FreeHostListFetch();
    EXPECT_FALSE(HostListFetch);
}

}  // namespace
}  // namespace qv::test
