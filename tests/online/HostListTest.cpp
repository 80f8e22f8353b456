#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3HostList.h"
#include "tests/online/FailingReplies.h"
#include "tests/online/HoldingServer.h"
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
    // The six fields as one text, to compare.
    static std::string Hosts(const TEnvironmentRecord& r) {
        return r.HighScoreHost.Str() + "|" + r.HighScoreBase.Str() + "|" + r.ChatHost.Str() + "|" +
               r.InternalHost.Str() + "|" + r.InternalBase.Str() + "|" + r.SupportURL.Str();
    }
    static std::string Defaults() {
        TEnvironmentRecord r;
        ApplyDefaultHosts(r);
        return Hosts(r);
    }
    // Resolves the hosts from a server that answers `reply`, waiting for
    // the download also where stored hosts would not wait.
    void ResolveFrom(const std::string& reply) {
        HoldingServer server({reply});
        HostListFetch = std::make_unique<TThreadedHttpGet>("http://" + server.Host() + kHostListPath);
        EXPECT_TRUE(ResolveHosts());
        HostListFetch->StartAndWait();
        EXPECT_TRUE(HostListFetch->Done());
        EXPECT_TRUE(ResolveHosts());
        EXPECT_TRUE(HostsResolved);
        FreeHostListFetch();
    }
};

// A server that answers wrongly changes no stored host; without stored
// hosts the built-in ones serve. Nobody is told: the list is background work.
TEST_F(HostListTest, AWrongAnswerKeepsTheStoredHosts) {
    for (const FailingReply& reply : FailingReplies()) {
        SCOPED_TRACE(reply.Name);
        for (const bool stored : {true, false}) {
            Environment = TEnvironmentRecord{};
            HostsResolved = false;
            if (stored) StoreHosts();
            const std::string before = stored ? Hosts(Environment) : Defaults();
            pleaseWait_.clear();
            ResolveFrom(reply.Bytes);
            EXPECT_EQ(Hosts(Environment), before) << "stored " << stored;
            // Only a first run waits, and the box says so in a sentence.
            ASSERT_EQ(pleaseWait_.size(), stored ? 0u : 1u);
            if (!stored) {
                EXPECT_EQ(LangText(326) + " Quorvex " + pleaseWait_[0],
                          "Please wait while Quorvex connects to the server.");
            }
        }
        EXPECT_NE(Log().find("Host list not fetched"), std::string::npos);
        EXPECT_TRUE(messages_.empty());
    }
}

TEST_F(HostListTest, ValuesThatAreNotOfTheirKindAreRefused) {
    struct Case {
        const char* line;
        bool taken;
    } cases[] = {
        {"HighScoreHost=scores.example", true},
        {"HighScoreHost=scores.example:8080", true},
        {"HighScoreHost=127.0.0.1:1", true},
        {"HighScoreHost= spaced.example ", true},  // blanks around the value go
        {"HighScoreHost=", false},
        {"HighScoreHost=bad host", false},
        {"HighScoreHost=a..b", false},
        {"HighScoreHost=a.b.", false},
        {"HighScoreHost=-a.b", false},
        {"HighScoreHost=a-.b", false},
        {"HighScoreHost=h:0", false},
        {"HighScoreHost=h:65536", false},
        {"HighScoreHost=h:", false},
        {"HighScoreHost=h:8a", false},
        {"HighScoreHost=evil.example/path", false},
        {"HighScoreHost=user@evil.example", false},
        {"ChatHost=\xE9t\xE9.example", false},
        {"InternalHost=AAAA", true},
        {"HighScoreBase=/qvx3/", true},
        {"HighScoreBase=qvx3/", false},
        {"InternalBase=/with blank/", false},
        {"SupportURL=https://help.example/", true},
        {"SupportURL=help.htm", false},
        {"SupportURL=file:///etc/passwd", false},
        {"SupportURL=http://", false},
    };
    for (const Case& c : cases) {
        TEnvironmentRecord r;
        StoreHosts();
        r = Environment;
        const std::string before = Hosts(r);
        EXPECT_EQ(ApplyHostList(c.line, r), c.taken) << c.line;
        EXPECT_EQ(Hosts(r) != before, c.taken) << c.line << ": " << Hosts(r);
    }
    std::string longHost(60, 'a');
    longHost += "." + std::string(60, 'b') + "." + std::string(40, 'c');  // 162 characters
    EXPECT_FALSE(IsHostName(longHost));
    EXPECT_FALSE(IsHostName(std::string(64, 'a') + ".example"));
    EXPECT_TRUE(IsHostName(std::string(63, 'a') + ".example"));
}

// A list whose values are all refused, or that names none of the keys, is
// no host list: stored hosts stay; none stored, the defaults fill in, and
// so they do for single empty fields.
TEST_F(HostListTest, AReplyWithoutAUsableValueIsAFailedDownload) {
    StoreHosts();
    const std::string stored = Hosts(Environment);
    ResolveFrom(HoldingServer::Reply("HighScoreHost=bad host\r\nSupportURL=help.htm\r\nOther=1\r\n"));
    EXPECT_EQ(Hosts(Environment), stored);
    EXPECT_NE(Log().find("Host list not fetched: the reply holds no host list"), std::string::npos);

    Environment = TEnvironmentRecord{};
    HostsResolved = false;
    Environment.HighScoreHost = "kept.example";
    ResolveFrom(HoldingServer::Reply("ChatHost=chat.example\r\n"));
    EXPECT_EQ(Environment.HighScoreHost, "kept.example");
    EXPECT_EQ(Environment.ChatHost, "chat.example");
    EXPECT_EQ(Environment.InternalHost, kDefaultWebHost);
    EXPECT_EQ(Environment.SupportURL, std::string("http://") + kDefaultWebHost + kDefaultInternalBase);
}

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
    r.HighScoreBase = "/kept/";
    ApplyHostList("SupportURL=http://a/b?c=d=e\nHighScoreBase=/" + std::string(150, 'b') + "\nInternalHost\n", r);
    EXPECT_EQ(r.SupportURL, "http://a/b?c=d=e");  // everything after the first '='
    EXPECT_EQ(r.HighScoreBase, "/kept/");         // longer than a field holds: refused, not cut
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
