#include <gtest/gtest.h>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3KnownErrors.h"
#include "tests/online/OnlineFixture.h"
#include "tests/online/RawHttpServer.h"

namespace qv::test {
namespace {

TEST(KnownErrorLineTest, FieldsSplitAtTheFirstTwoCommas) {
    auto e = ParseKnownErrorLine("crash1, y ,Access violation.*Frame");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Page, "crash1");
    EXPECT_TRUE(e->Report);
    EXPECT_EQ(e->Pattern, "Access violation.*Frame");
    e = ParseKnownErrorLine("p2,n,a,b,c");
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->Report);
    EXPECT_EQ(e->Pattern, "a,b,c");
    e = ParseKnownErrorLine("p3,,x");
    ASSERT_TRUE(e);
    EXPECT_FALSE(e->Report);
    EXPECT_FALSE(ParseKnownErrorLine("only,one comma"));
    EXPECT_FALSE(ParseKnownErrorLine(""));
    e = ParseKnownErrorLine("p," + std::string(1500, 'y'));  // the rest is cut before the second comma is sought
    EXPECT_FALSE(e);
    e = ParseKnownErrorLine("p,y," + std::string(1500, 'x'));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Pattern.size(), 998u);
}

TEST(KnownErrorLineTest, PatternsMatchWithoutCaseAndPerLine) {
    const std::string log = "* Info: start\r\n* Error: access violation at 0045 in Frame\r\n* Info: \xE9t\xE9\r\n";
    EXPECT_TRUE(KnownErrorMatches("Access violation.*Frame", log));
    EXPECT_TRUE(KnownErrorMatches("^\\* Error: ACCESS", log));
    EXPECT_TRUE(KnownErrorMatches("start$", log));
    EXPECT_FALSE(KnownErrorMatches("start.*Error", log));  // '.' stays within a line
    EXPECT_TRUE(KnownErrorMatches("\xC9T\xC9", log));      // Windows-1252 on both sides
    EXPECT_THROW(KnownErrorMatches("(", log), Exception);
    // Catastrophic backtracking ends at the step limit as no match.
    EXPECT_FALSE(KnownErrorMatches("^(a+)+$", std::string(40, 'a') + "b"));
}

class KnownErrorsTest : public OnlineTest {
protected:
    void SetUp() override {
        OnlineTest::SetUp();
        HostsResolved = true;
        Environment.InternalHost = server_.Host();
        Environment.InternalBase = "/qvx3internal/";
        lookup_.PublishErrorReport = [this] { ++reports_; };
        lookup_.CheckLogPending = true;
        LogBeginRun();
    }
    void Problem(const std::string& text) { LogMessage(text, lkError); }
    int ListDownloads() const {
        int n = 0;
        for (const RawRequest& r : server_.Requests()) n += r.Path() == "/qvx3internal/errors.txt";
        return n;
    }

    TKnownErrorLookup lookup_;
    int reports_ = 0;
    std::string list_ =
        "bad,n,(\r\n"
        "crash1, y ,Access violation.*Frame\r\n"
        "crash2,n,access\r\n"
        "p2,n,a,b,c\r\n"
        "one comma only\r\n";
    RawHttpServer server_{[this](const RawRequest& req) {
        if (req.Path() == "/qvx3internal/errors.txt") return RawResponse{200, list_};
        return RawResponse{404, ""};
    }};
};

TEST_F(KnownErrorsTest, ACleanLogAsksNothing) {
    lookup_.LookUpKnownError();
    EXPECT_TRUE(questions_.empty());
    EXPECT_EQ(ListDownloads(), 0);
    EXPECT_FALSE(lookup_.CheckLogPending);
}

TEST_F(KnownErrorsTest, WaitsForTheMainWindow) {
    Problem("Access violation at 1 in Frame");
    bool active = false;
    lookup_.IsMainWindowActive = [&] { return active; };
    lookup_.LookUpKnownError();
    EXPECT_TRUE(lookup_.CheckLogPending);
    EXPECT_TRUE(questions_.empty());
    active = true;
    lookup_.LookUpKnownError();
    EXPECT_EQ(questions_.size(), 1u);
}

TEST_F(KnownErrorsTest, DecliningStillMarksTheLogReported) {
    Problem("Access violation at 1 in Frame");
    answers_ = {false};
    lookup_.LookUpKnownError();
    EXPECT_EQ(questions_, std::vector<std::string>{LangText(58)});
    EXPECT_EQ(ListDownloads(), 0);
    EXPECT_FALSE(LogHasProblems());
}

TEST_F(KnownErrorsTest, ABadPatternIsLoggedAndEndsTheSearch) {
    Problem("access violation at 0045 in Frame");
    answers_ = {true, true};
    lookup_.LookUpKnownError();
    // The bad pattern comes first in the list: it is logged and the report
    // is offered as for no match.
    EXPECT_EQ(questions_, (std::vector<std::string>{LangText(58), LangText(61)}));
    EXPECT_NE(Log().find(" Error: Error searching for a solution: Invalid pattern"), std::string::npos);
    EXPECT_EQ(reports_, 1);
    EXPECT_TRUE(opened_.empty());
    EXPECT_FALSE(LogHasProblems());  // the lookup's own error line included
}

TEST_F(KnownErrorsTest, FirstMatchOpensItsPageAndOffersTheReport) {
    list_ = "crash1, y ,Access violation.*Frame\r\ncrash2,n,access\r\n";
    Problem("access violation at 0045 in Frame");
    answers_ = {true, true};
    lookup_.LookUpKnownError();
    const std::string page = "http://" + server_.Host() + "/qvx3internal/errors/crash1";
    EXPECT_EQ(opened_, std::vector<std::string>{page});
    EXPECT_EQ(questions_, (std::vector<std::string>{LangText(58), LangText(60)}));
    EXPECT_EQ(reports_, 1);
    EXPECT_EQ(pleaseWait_, std::vector<std::string>{LangText(63)});

    // Later lookups of the run use the list already held.
    list_ = "other,n,.";
    lookup_.CheckLogPending = true;
    Problem("access violation at 0046 in Frame");
    questions_.clear();
    answers_ = {true, false};
    lookup_.LookUpKnownError();
    EXPECT_EQ(opened_, (std::vector<std::string>{page, page}));
    EXPECT_EQ(ListDownloads(), 1);
    EXPECT_EQ(reports_, 1);
}

TEST_F(KnownErrorsTest, AnEntryWithoutPatternMatchesNothing) {
    list_ = "any,y,\r\nblank,y,   \r\ncrash2,n,violation\r\n";
    Problem("Access violation at 0045");
    answers_ = {true};
    lookup_.LookUpKnownError();
    EXPECT_EQ(opened_, std::vector<std::string>{"http://" + server_.Host() + "/qvx3internal/errors/crash2"});
    EXPECT_EQ(questions_, std::vector<std::string>{LangText(58)});

    // With only empty patterns nothing matches: the report is offered.
    TKnownErrorLookup fresh;
    fresh.PublishErrorReport = [this] { ++reports_; };
    fresh.CheckLogPending = true;
    list_ = "any,y,\r\n";
    Problem("Access violation at 0046");
    opened_.clear();
    questions_.clear();
    answers_ = {true, false};
    fresh.LookUpKnownError();
    EXPECT_TRUE(opened_.empty());
    EXPECT_EQ(questions_, (std::vector<std::string>{LangText(58), LangText(61)}));
}

TEST_F(KnownErrorsTest, FlagNOnlyOpensThePageInTheShownBrowser) {
    list_ = "crash2,n,violation at\r\n";
    std::vector<std::string> navigated;
    lookup_.BrowserShown = [] { return true; };
    lookup_.NavigateBrowser = [&](const std::string& url, std::function<void(bool)> loaded) {
        navigated.push_back(url);
        loaded(true);
    };
    Problem("Access Violation at 0045");
    answers_ = {true, true};
    lookup_.LookUpKnownError();
    EXPECT_EQ(navigated, std::vector<std::string>{"http://" + server_.Host() + "/qvx3internal/errors/crash2"});
    EXPECT_TRUE(opened_.empty());
    EXPECT_EQ(questions_, std::vector<std::string>{LangText(58)});
    EXPECT_EQ(reports_, 0);
}

// The player is told whether the solution page could be opened: in the
// shown browser once it has loaded or failed, in the system's browser as
// soon as it was handed over.
TEST_F(KnownErrorsTest, TheSolutionPageIsOnlyCalledOpenedWhenItWas) {
    struct Case {
        const char* name;
        bool inFrame;
        bool opened;  // the page loaded / the browser started
        char flag;
        std::vector<std::string> questions;  // after text 58
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {"frame, loaded, n", true, true, 'n', {}, {}},
        {"frame, loaded, y", true, true, 'y', {LangText(60)}, {}},
        {"frame, failed, n", true, false, 'n', {}, {LangText(426)}},
        {"frame, failed, y", true, false, 'y', {LangText(427)}, {}},
        {"system browser, started, y", false, true, 'y', {LangText(60)}, {}},
        {"system browser, failed, n", false, false, 'n', {}, {LangText(354)}},
        {"system browser, failed, y", false, false, 'y', {LangText(427)}, {LangText(354)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TKnownErrorLookup lookup;
        int reports = 0;
        lookup.PublishErrorReport = [&] { ++reports; };
        lookup.CheckLogPending = true;
        std::function<void(bool)> pending;
        lookup.BrowserShown = [&] { return c.inFrame; };
        lookup.NavigateBrowser = [&](const std::string&, std::function<void(bool)> loaded) {
            pending = std::move(loaded);
        };
        browserWorks_ = c.opened;
        list_ = std::string("crash2,") + c.flag + ",violation at\r\n";
        Problem("Access Violation at 0045");
        messages_.clear();
        questions_.clear();
        answers_ = {true, true};
        lookup.LookUpKnownError();
        if (c.inFrame) {
            // Nothing is said before the page has loaded or failed.
            EXPECT_EQ(questions_, std::vector<std::string>{LangText(58)});
            EXPECT_TRUE(messages_.empty());
            ASSERT_TRUE(pending);
            pending(c.opened);
        }
        std::vector<std::string> questions{LangText(58)};
        questions.insert(questions.end(), c.questions.begin(), c.questions.end());
        EXPECT_EQ(questions_, questions);
        EXPECT_EQ(Texts(), c.messages);
        EXPECT_EQ(reports, c.questions.empty() ? 0 : 1);
        EXPECT_FALSE(LogHasProblems());
    }
}

TEST_F(KnownErrorsTest, NoMatchOrNoListOffersWhatIsLeft) {
    list_ = "crash1,y,never seen\r\n";
    Problem("something else");
    answers_ = {true, false};
    lookup_.LookUpKnownError();
    EXPECT_EQ(questions_, (std::vector<std::string>{LangText(58), LangText(61)}));
    EXPECT_EQ(reports_, 0);

    TKnownErrorLookup offline;
    offline.CheckLogPending = true;
    Problem("again");
    connected_ = false;
    messages_.clear();
    questions_.clear();
    answers_ = {true};
    offline.LookUpKnownError();
    EXPECT_EQ(Texts(), (std::vector<std::string>{LangText(351), LangText(59)}));
    EXPECT_FALSE(offline.KnownErrors());
    EXPECT_FALSE(LogHasProblems());
}

}  // namespace
}  // namespace qv::test
