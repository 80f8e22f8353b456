#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <sstream>

#include "foundation/qv3Language.h"
#include "platform/system/KeyStore.h"
#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3WorldBest.h"
#include "tests/online/LocalHttpServer.h"
#include "tests/online/NetTestSupport.h"
#include "tests/online/RawHttpServer.h"
#include "tests/online/OnlineFixture.h"
#include "tests/online/SmtpSink.h"

namespace qv::test {
namespace {

using InetTest = OnlineTest;

TEST(ScrambleTest, EmptyStaysEmpty) {
    TRandom random(1);
    EXPECT_EQ(ScrambleForSubmit("", random), "");
}

TEST(ScrambleTest, BlocksOfSixtyFourRoundTrip) {
    const std::string text = std::string("QVX3|a+b-c d|") + std::string(52, 'x');  // 65 bytes
    ASSERT_EQ(text.size(), 65u);
    TRandom random(7);
    const std::string sent = ScrambleForSubmit(text, random);
    for (char c : sent) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '%') << c;
    const std::string raw = PercentDecode(sent);
    EXPECT_EQ(raw.size(), 256u);  // two blocks of 64 index letters and 64 bytes
    EXPECT_EQ(Descramble(sent), text + std::string(63, ' '));
    // Blanks, plus signs and hyphens travel encoded.
    EXPECT_NE(sent.find("%20"), std::string::npos);
    EXPECT_NE(sent.find("%2B"), std::string::npos);
    EXPECT_NE(sent.find("%2D"), std::string::npos);
    // The same generator state gives the same text.
    TRandom again(7);
    EXPECT_EQ(ScrambleForSubmit(text, again), sent);
}

TEST(ScrambleTest, PercentEncodingKeepsOnlyLettersAndDigits) {
    EXPECT_EQ(PercentEncode("aZ09 +-/\xE9"), "aZ09%20%2B%2D%2F%E9");
    // A file name in an address keeps the unreserved characters.
    EXPECT_EQ(EncodeUrlComponent("aZ09-._~ +/&\xE9"), "aZ09-._~%20%2B%2F%26%E9");
}

TEST(InetTextTest, LineBreaksBecomeCrLf) {
    EXPECT_EQ(NormalizeLineBreaks("a\nb\rc\r\nd\r"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(Base64Encode(""), "");
    EXPECT_EQ(Base64Encode("f"), "Zg==");
    EXPECT_EQ(Base64Encode("fo"), "Zm8=");
    EXPECT_EQ(Base64Encode("foobar"), "Zm9vYmFy");
}

TEST_F(InetTest, GetNormalisesLinesAndRaisesOnErrorStatus) {
    LocalHttpServer server([](httplib::Server& s) {
        s.Get("/text", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("one\ntwo\rthree\r\n", "text/plain");
        });
        s.Get("/bytes", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string("\0\r\n\xff", 4), "application/octet-stream");
        });
        s.Get("/fail", [](const httplib::Request&, httplib::Response& res) {
            res.status = 500;
            res.set_content("broken", "text/plain");
        });
        s.Get("/moved", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/text"); });
        s.Get("/away", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("file:///etc/passwd");
        });
    });
    EXPECT_EQ(HttpGetText(server.Url("/text")), "one\r\ntwo\r\nthree\r\n");
    EXPECT_EQ(HttpGetText(server.Url("/moved")), "one\r\ntwo\r\nthree\r\n");
    std::ostringstream bytes;
    HttpGetToStream(server.Url("/bytes"), bytes);
    EXPECT_EQ(bytes.str(), std::string("\0\r\n\xff", 4));
    EXPECT_THROW(HttpGetText(server.Url("/fail")), EInetError);
    EXPECT_THROW(HttpGetText(server.Url("/away")), EInetError);
    EXPECT_THROW(HttpGetText(server.Url("/missing")), EInetError);
    InetSettings().MaxReplyBytes = 3;
    EXPECT_THROW(HttpGetText(server.Url("/text")), EInetError);
}

TEST_F(InetTest, ASlowServerEndsInATimeOut) {
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    LocalHttpServer server([&](httplib::Server& s) {
        s.Get("/slow", [&](const httplib::Request&, httplib::Response& res) {
            std::unique_lock<std::mutex> lock(m);
            cv.wait(lock, [&] { return release; });
            res.set_content("late", "text/plain");
        });
    });
    InetSettings().TotalTimeoutMs = 200;
    try {
        HttpGetText(server.Url("/slow"));
        ADD_FAILURE() << "no time-out";
    } catch (const EInetError& e) {
        EXPECT_NE(std::string(e.what()).find("imed out"), std::string::npos) << e.what();
    }
    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
    }
    cv.notify_all();
}

TEST_F(InetTest, FormPostSendsTheFixedHeadersAndTheBodyUnchanged) {
    httplib::Request seen;
    std::string version;
    LocalHttpServer server([&](httplib::Server& s) {
        s.Post("/qvx3//card.php", [&](const httplib::Request& req, httplib::Response& res) {
            seen = req;
            res.set_content("thanks", "text/plain");
        });
    });
    const std::string body = "cs=A%2BB%20c";
    EXPECT_EQ(HttpPostForm(server.Url("/qvx3//card.php"), body), "thanks");
    EXPECT_EQ(seen.version, "HTTP/1.0");
    EXPECT_EQ(seen.body, body);
    EXPECT_EQ(seen.get_header_value("Accept"), "*/*");
    EXPECT_EQ(seen.get_header_value("Connection"), "Keep-Alive");
    EXPECT_EQ(seen.get_header_value("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(seen.get_header_value("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(seen.get_header_value("Referer"), "http://" + server.Host());
    EXPECT_EQ(seen.get_header_value("User-Agent"), "QVX/3.0 (Win)");
    EXPECT_EQ(seen.get_header_value("Host"), server.Host());
}

TEST_F(InetTest, MultipartPostNamesItsBoundary) {
    RawHttpServer server([](const RawRequest&) { return RawResponse{200, "stored"}; });
    std::ostringstream reply;
    HttpPostMultipart("http://" + server.Host() + "/up", "XyZ", "--XyZ\r\nraw\r\n--XyZ--\r\n", reply);
    EXPECT_EQ(reply.str(), "stored");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Method, "POST");
    EXPECT_EQ(requests[0].Version, "HTTP/1.0");
    EXPECT_EQ(requests[0].Header("Content-Type"), "multipart/form-data; boundary=XyZ");
    EXPECT_EQ(requests[0].Body, "--XyZ\r\nraw\r\n--XyZ--\r\n");
    EXPECT_TRUE(messages_.empty());
}

TEST_F(InetTest, OfflineEachRoutineGivesUpItsOwnWay) {
    connected_ = false;
    try {
        HttpPostForm("http://127.0.0.1:1/x", "a=b");
        ADD_FAILURE() << "no exception";
    } catch (const EInetError& e) {
        EXPECT_STREQ(e.what(), "Operation Failed: Can't connect to the Internet");
    }
    EXPECT_TRUE(messages_.empty());

    std::ostringstream reply;
    EXPECT_THROW(HttpPostMultipart("http://127.0.0.1:1/x", "B", "body", reply), EInetError);
    ASSERT_EQ(Texts(), std::vector<std::string>{LangText(355)});

    messages_.clear();
    EXPECT_FALSE(SendErrorReportMail("me@example.org", "text", ""));
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(355)});
    EXPECT_NE(Log().find("* Info: Operation Failed: Can't connect to the Internet\r\n"), std::string::npos);
}

TEST(MailMessageTest, GoldenBytesWithAttachment) {
    const std::string m = BuildErrorReportMessage("me@example.org", "errors@example.net",
                                                  "Thu, 10 Dec 2026 12:00:00 +0000", "It broke.\r*****Log file *****\rline",
                                                  "last1.gmp", std::string("\x01\x02\x03\xff", 4), "BND");
    EXPECT_EQ(m,
              "From: me@example.org\r\n"
              "To: errors@example.net\r\n"
              "Subject: Quorvex Error Report\r\n"
              "Date: Thu, 10 Dec 2026 12:00:00 +0000\r\n"
              "MIME-Version: 1.0\r\n"
              "X-Priority: 3\r\n"
              "Content-Type: multipart/mixed; boundary=\"BND\"\r\n"
              "\r\n"
              "This is a multi-part message in MIME format.\r\n"
              "\r\n"
              "--BND\r\n"
              "Content-Type: text/plain; charset=windows-1252\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "\r\n"
              "SXQgYnJva2UuDQoqKioqKkxvZyBmaWxlICoqKioqDQpsaW5l\r\n"
              "\r\n"
              "--BND\r\n"
              "Content-Type: application/octet-stream; name=\"last1.gmp\"\r\n"
              "Content-Transfer-Encoding: base64\r\n"
              "Content-Disposition: attachment; filename=\"last1.gmp\"\r\n"
              "\r\n"
              "AQID/w==\r\n"
              "\r\n"
              "--BND--\r\n");
    EXPECT_EQ(Base64Decode("SXQgYnJva2UuDQoqKioqKkxvZyBmaWxlICoqKioqDQpsaW5l"),
              "It broke.\r\n*****Log file *****\r\nline");
}

TEST(MailMessageTest, LongBodiesWrapAndSenderChecks) {
    const std::string m = BuildErrorReportMessage("a@b.c", "r@s.t", "d", std::string(2000, 'x'), "", "", "B");
    EXPECT_EQ(m.find("multipart"), std::string::npos);
    for (const std::string& line : SplitCrLf(m)) EXPECT_LE(line.size(), 78u);
    EXPECT_TRUE(IsSafeMailAddress("a@b.c"));
    for (const char* bad : {"", "a@b.c\r\nRCPT TO:<x@y>", "a@b.c>", "<a@b.c", "a @b.c"}) {
        EXPECT_FALSE(IsSafeMailAddress(bad)) << bad;
    }
}

TEST_F(InetTest, MailReachesTheSinkWithItsAttachment) {
    SmtpSink sink;
    InetSettings().MailPort = sink.Port();
    InetSettings().MailRecipient = "reports@example.net";
    std::string replay;
    for (int i = 0; i < 300; ++i) replay += static_cast<char>(i * 7);
    const std::string attachment = dir_.Write("share/last3.gmp", replay);
    // A line that starts with a dot survives the transfer.
    EXPECT_TRUE(SendErrorReportMail("player@example.org", "desc\r.hidden\r" + std::string(1200, 'L'), attachment));
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(357)});
    const auto mails = sink.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].From, "<player@example.org>");
    EXPECT_EQ(mails[0].Recipients, std::vector<std::string>{"<reports@example.net>"});
    const TMimeMail mail = ParseMail(mails[0].Data);
    EXPECT_EQ(mail.Header("Subject"), "Quorvex Error Report");
    EXPECT_EQ(mail.Header("From"), "player@example.org");
    EXPECT_EQ(mail.Text, "desc\r\n.hidden\r\n" + std::string(1200, 'L'));
    EXPECT_EQ(mail.AttachmentName, "last3.gmp");
    EXPECT_EQ(mail.Attachment, replay);
}

TEST_F(InetTest, TheKeyStoreNamesTheMailServer) {
    SmtpSink sink;
    InetSettings().MailPort = 1;  // nothing listens there
    const sys::TKeyStore store(KeyStorePath());
    ASSERT_TRUE(store.WriteString(sys::kProgramKey, "MailPort", std::to_string(sink.Port())));
    ASSERT_TRUE(store.WriteString(sys::kProgramKey, "MailRecipient", "desk@example.net"));
    EXPECT_TRUE(SendErrorReportMail("a@b.c", "text", ""));
    ASSERT_EQ(sink.Mails().size(), 1u);
    EXPECT_EQ(sink.Mails()[0].Recipients, std::vector<std::string>{"<desk@example.net>"});
    // A port that is no number leaves the setting as it was.
    ASSERT_TRUE(store.WriteString(sys::kProgramKey, "MailPort", "25x"));
    EXPECT_FALSE(SendErrorReportMail("a@b.c", "text", ""));
}

TEST_F(InetTest, ARefusedMailIsReportedAsAFailure) {
    SmtpSink sink(/*reject=*/true);
    InetSettings().MailPort = sink.Port();
    EXPECT_FALSE(SendErrorReportMail("player@example.org", "desc", ""));
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(356)});
    EXPECT_NE(LangText(356), LangText(357));
    EXPECT_NE(Log().find("* Warning: Error sending email: "), std::string::npos);
    // A sender that would add lines to the conversation is never sent.
    messages_.clear();
    SmtpSink open;
    InetSettings().MailPort = open.Port();
    EXPECT_FALSE(SendErrorReportMail("a@b.c\r\nRCPT TO:<x@y.z>", "desc", ""));
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(356)});
    EXPECT_TRUE(open.Mails().empty());
    // Nothing listening: a failure too.
    messages_.clear();
    InetSettings().MailPort = 1;
    EXPECT_FALSE(SendErrorReportMail("a@b.c", "desc", ""));
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(356)});
    // An attachment that cannot be read fails the mail rather than dropping it.
    messages_.clear();
    InetSettings().MailPort = open.Port();
    EXPECT_FALSE(SendErrorReportMail("a@b.c", "desc", dir_ / "missing.gmp"));
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(356)});
}

TEST_F(InetTest, OpenUrlFallsBackToTheClipboard) {
    OpenURL("http://127.0.0.1/page");
    EXPECT_EQ(opened_, std::vector<std::string>{"http://127.0.0.1/page"});
    EXPECT_TRUE(messages_.empty());

    browserWorks_ = false;
    OpenURL("http://127.0.0.1/other");
    EXPECT_EQ(clipboard_, "http://127.0.0.1/other");
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].Kind, TMessageKind::Error);
    EXPECT_EQ(messages_[0].Text, LangText(354));
    EXPECT_NE(Log().find("* Warning: Unable to start Browser.\r\n"), std::string::npos);

    // Anything but a web address never reaches the browser.
    opened_.clear();
    OpenURL("file:///etc/passwd");
    EXPECT_TRUE(opened_.empty());
    EXPECT_EQ(clipboard_, "file:///etc/passwd");
}

}  // namespace
}  // namespace qv::test
