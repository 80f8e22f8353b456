#include <gtest/gtest.h>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "frontend/online/qv3ReportFlows.h"
#include "game/core/qv3ReplayFiles.h"
#include "game/logic/qv3ReplayPack.h"
#include "platform/system/Files.h"
#include "tests/online/LoopbackServer.h"
#include "tests/online/NetTestSupport.h"
#include "tests/online/OnlineFixture.h"
#include "tests/online/RawHttpServer.h"
#include "tests/online/SmtpSink.h"

namespace qv::test {
namespace {

using ErrorReportTest = OnlineTest;

TEST_F(ErrorReportTest, MailCarriesDescriptionLogAndTheLastReplay) {
    SmtpSink sink;
    InetSettings().MailPort = sink.Port();
    // No replay of the slot: no attachment; an empty description still
    // sends the separator and the log.
    EXPECT_EQ(SendErrorReport("me@example.org", "", "* Error: boom\r\n", 2), TReportResult::Sent);
    const std::string replay("zkq3p-replay", 12);
    ASSERT_TRUE(sys::WriteFileAtomic(LastReplayPath(2), replay));
    EXPECT_EQ(SendErrorReport("me@example.org", "It froze.", "log", 2), TReportResult::Sent);
    EXPECT_EQ(Texts(), (std::vector<std::string>{LangText(357), LangText(357)}));

    const auto mails = sink.Mails();
    ASSERT_EQ(mails.size(), 2u);
    const TMimeMail first = ParseMail(mails[0].Data);
    EXPECT_EQ(first.Text, "\r\n*****Log file *****\r\n* Error: boom\r\n");
    EXPECT_TRUE(first.AttachmentName.empty());
    const TMimeMail second = ParseMail(mails[1].Data);
    EXPECT_EQ(second.Text, "It froze.\r\n*****Log file *****\r\nlog");
    EXPECT_EQ(second.AttachmentName, "last2.gmp");
    EXPECT_EQ(second.Attachment, replay);
}

// A mail server that greets with canned bytes and then closes.
class CannedMailServer final : public LoopbackServer {
public:
    explicit CannedMailServer(std::string greeting) : greeting_(std::move(greeting)) { Start(); }
    ~CannedMailServer() override { Stop(); }

private:
    void Serve(int client) override { SendAll(client, greeting_); }
    std::string greeting_;
};

// The report is sent while the please-wait box shows; the box is gone when
// the player reads the outcome.
TEST_F(ErrorReportTest, SendingShowsThePleaseWaitBox) {
    SmtpSink sink;
    InetSettings().MailPort = sink.Port();
    std::vector<int> openWhenTold;
    OnlineUi().ShowMessage = [&](TMessageKind kind, const std::string& text) {
        openWhenTold.push_back(pleaseWaitOpen_);
        messages_.push_back({kind, text});
    };
    EXPECT_EQ(SendErrorReport("me@example.org", "It froze.", "log", 2), TReportResult::Sent);
    ASSERT_EQ(pleaseWait_, std::vector<std::string>{LangText(425)});
    EXPECT_EQ(LangText(326) + " Quorvex " + pleaseWait_[0], "Please wait while Quorvex sends your error report.");
    EXPECT_EQ(openWhenTold, std::vector<int>{0});
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(357)});
}

// A mail server that answers wrongly: the report is not sent, the player
// reads text 356 (once the box is gone) and the log says why.
TEST_F(ErrorReportTest, AWrongAnswerOfTheMailServerIsAFailure) {
    std::string big(10u << 20, 'A');
    const struct {
        const char* name;
        std::string greeting;
    } cases[] = {
        {"refused", "554 no service here\r\n"},
        {"garbage", std::string("\x01\xFE garbage\r\n")},
        {"oversize", big + "\r\n"},
        {"cut", "220 mail.exa"},
        {"closed", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        pleaseWait_.clear();
        CannedMailServer server(c.greeting);
        InetSettings().MailPort = server.Port();
        EXPECT_EQ(SendErrorReport("me@example.org", "It froze.", "log", 2), TReportResult::Failed);
        EXPECT_EQ(Texts(), std::vector<std::string>{LangText(356)});
        EXPECT_EQ(pleaseWait_.size(), 1u);
        EXPECT_EQ(pleaseWaitOpen_, 0);
    }
    EXPECT_NE(Log().find("* Warning: Error sending email: "), std::string::npos);
}

TEST(ReportSenderTest, OneRuleForAUsableSender) {
    for (const char* sender : {"", "   ", "me@example.org", " me@example.org "}) {
        EXPECT_TRUE(IsUsableReportSender(sender)) << sender;
    }
    for (const char* sender : {"bad<x>@a.b", "me@example.org>", "a@b.c\r\nRCPT TO:<x@y.z>", "a\x7F@b.c", "a @b.c",
                               "@b.c", "ab.c", "a@bc"}) {
        EXPECT_FALSE(IsUsableReportSender(sender)) << sender;
    }
}

TEST_F(ErrorReportTest, TheAddressIsKeptCutToItsField) {
    StoreErrorReportEmail(std::string(120, 'a') + "@b.c");
    EXPECT_EQ(Environment.ErrorReportEmail.size(), 100u);
    EXPECT_EQ(ErrorReportBody("d", "l"), "d\r*****Log file *****\rl");
}

TEST(CardRecordTest, SenderRulesAndRecipientList) {
    struct Case {
        const char* address;
        bool valid;
    } cases[] = {{"@a.b", false}, {"ab", false}, {"a@b.c", true}, {"a @b.c", false},
                 {"  a@b.c  ", true}, {"a@bc", false}, {"", false}};
    for (const Case& c : cases) EXPECT_EQ(IsValidCardSender(c.address), c.valid) << c.address;

    class TwoPicks final : public IAddressBook {
    public:
        bool Available() const override { return true; }
        std::vector<std::string> PickRecipients(QWidget*) override { return {"x@y.z", "", "u@v.w"}; }
    } book;
    std::string list;
    for (const std::string& a : book.PickRecipients(nullptr)) list = AppendRecipient(list, a);
    EXPECT_EQ(list, "x@y.z, u@v.w");
    EXPECT_EQ(AppendRecipient("a@b.c,", "d@e.f"), "a@b.c,d@e.f");
    EXPECT_FALSE(IAddressBook().Available());
    EXPECT_TRUE(IAddressBook().PickRecipients(nullptr).empty());
}

TEST(CardRecordTest, FieldsAreEscapedAndNeverEmpty) {
    EXPECT_EQ(BuildCardRecord("a|b@c.d", "", " Joe|Doe ", " j@d.e ", " uid ", " Lobby|1 "),
              "a!b@c.d| |Joe!Doe|j@d.e|uid|Lobby!1|");
    // The form's memo gives LF; a pasted text may hold CR LF or CR alone.
    for (const char* comment : {"Hi <you>|me\nbye", "Hi <you>|me\r\nbye", "Hi <you>|me\rbye"}) {
        EXPECT_EQ(BuildCardRecord("x@y.z", comment, "", "", "", ""), "x@y.z|Hi &lt;you>!me<br>\nbye| | | | |")
            << comment;
    }
}

class CardTest : public OnlineTest {
protected:
    void SetUp() override {
        OnlineTest::SetUp();
        HostsResolved = true;
        Environment.HighScoreHost = server_.Host();
        Environment.HighScoreBase = "/qvx3/";
        Environment.ScoreUID = "u9";
    }
    int status_ = 200;
    std::vector<std::string> cards_;
    RawHttpServer server_{[this](const RawRequest& req) {
        if (req.Method == "POST" && req.Path() == "/qvx3//card.php" && req.Body.rfind("cs=", 0) == 0) {
            cards_.push_back(Descramble(req.Body.substr(3)));
        }
        return RawResponse{status_, "ok"};
    }};
};

TEST_F(CardTest, CardIsPostedScrambled) {
    EXPECT_EQ(SendEmailCard("x@y.z, u@v.w", "See you\n", "Ann", "ann@a.b"), TCardResult::Sent);
    ASSERT_EQ(cards_.size(), 1u);
    const std::string card = cards_[0].substr(0, cards_[0].find_last_not_of(' ') + 1);
    EXPECT_EQ(card, "x@y.z, u@v.w|See you<br>\n|Ann|ann@a.b|u9| |");
    EXPECT_EQ(SplitFields(card, '|').size(), 6u);
    EXPECT_EQ(pleaseWait_, std::vector<std::string>{LangText(33)});
    EXPECT_TRUE(messages_.empty());
}

TEST_F(CardTest, RefusalsAndFailures) {
    EXPECT_EQ(SendEmailCard("x@y.z", "", "Ann", "@a.b"), TCardResult::InvalidSender);
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(31)});

    messages_.clear();
    status_ = 500;
    EXPECT_EQ(SendEmailCard("x@y.z", "", "Ann", "ann@a.b"), TCardResult::Failed);
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(347)});
    EXPECT_NE(Log().find("* Warning: Error sending email card  (HTTP error 500)\r\n"), std::string::npos);

    messages_.clear();
    connected_ = false;
    EXPECT_EQ(SendEmailCard("x@y.z", "", "Ann", "ann@a.b"), TCardResult::NoInternet);
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(351)});
    EXPECT_EQ(server_.Requests().size(), 1u);
}

}  // namespace
}  // namespace qv::test
