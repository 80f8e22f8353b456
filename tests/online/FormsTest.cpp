#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "frontend/online/forms/qv3OnlineForms.h"
#include "frontend/qv3QtText.h"
#include "game/logic/qv3ReplayPack.h"
#include "platform/system/Files.h"
#include "tests/frontend/QtApp.h"
#include "tests/online/NetTestSupport.h"
#include "tests/online/OnlineFixture.h"
#include "tests/online/RawHttpServer.h"
#include "tests/online/SmtpSink.h"

namespace qv::test {
namespace {

class FormsTest : public OnlineTest {
protected:
    static void SetUpTestSuite() { QtApp(); }
    void SetUp() override {
        OnlineTest::SetUp();
        HostsResolved = true;
        Environment.HighScoreHost = server_.Host();
        Environment.HighScoreBase = "/qvx3/";
    }
    std::string answer_;
    RawHttpServer server_{[this](const RawRequest&) { return RawResponse{200, answer_}; }};
};

TEST_F(FormsTest, NewBestQuestion) {
    TfrmHighscoreNew form(12500);
    EXPECT_EQ(form.lblPoints->text(), "12500 Points,");
    EXPECT_EQ(form.windowTitle(), LangQText(69));
    EXPECT_EQ(form.btnYes->text(), LangQText(76));
    EXPECT_EQ(form.btnNo->text(), LangQText(74));
    EXPECT_EQ(form.size(), QSize(400, 302));
    QTimer::singleShot(0, &form, [&] { form.btnYes->click(); });
    EXPECT_EQ(form.exec(), mrYes);
    QTimer::singleShot(0, &form, [&] { form.btnNo->click(); });
    EXPECT_EQ(form.exec(), mrNo);
}

TEST_F(FormsTest, PublishFormShowsTheStoredIdentityAndLimitsItsFields) {
    Environment.PlayerAlias = "Ace";
    Environment.City = "Graz";
    Environment.Comment = "old comment";
    Environment.Country = 13;
    Environment.Gender = 2;
    Environment.Age = 30;
    Environment.Scenarios[1].HighScores[0].Score = 4200;
    TfrmHighscorePublish form(1);
    EXPECT_EQ(form.size(), QSize(417, 466));
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(147, 9, 33));
    EXPECT_EQ(form.Label2->text(), "4200");
    EXPECT_EQ(form.edtAlias->text(), "Ace");
    EXPECT_EQ(form.Edit5->text(), "");  // the stored comment is not shown
    EXPECT_EQ(form.cbCountries->count(), 243);
    EXPECT_EQ(form.cbCountries->currentIndex(), 12);
    EXPECT_EQ(form.cbCountries->itemText(0), LangQText(83));
    EXPECT_EQ(form.edtAge->value(), 30);
    EXPECT_EQ(form.edtAlias->maxLength(), 20);
    EXPECT_EQ(form.Edit5->maxLength(), 80);
    EXPECT_EQ(form.Edit4->maxLength(), 40);
    const TPublishFields f = form.Fields();
    EXPECT_EQ(f.Gender, 2);
    EXPECT_EQ(f.CountryIndex, 12);

    // An empty alias: text 352 and nothing sent.
    form.edtAlias->setText("  ");
    form.btnPublishClick();
    EXPECT_EQ(Texts(), std::vector<std::string>{LangText(352)});
    EXPECT_TRUE(server_.Requests().empty());
    EXPECT_EQ(form.result(), 0);

    // Published: the dialog closes.
    messages_.clear();
    form.edtAlias->setText("Ace");
    answer_ = "UID=u5";
    form.btnPublishClick();
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(Environment.ScoreUID, "u5");
}

TEST_F(FormsTest, ErrorReportFormSendsAndKeepsTheAddress) {
    SmtpSink sink;
    InetSettings().MailPort = sink.Port();
    Environment.ErrorReportEmail = "me@example.org";
    {
        TfrmErrorReportPublish form(1);
        form.LogText = "* Error: boom\r\n";
        form.show();
        EXPECT_EQ(form.size(), QSize(429, 393));
        EXPECT_EQ(form.memLogFile->toPlainText(), "* Error: boom\n");
        EXPECT_TRUE(form.memLogFile->isReadOnly());
        EXPECT_EQ(form.edtEmail->text(), "me@example.org");
        form.Memo1->setPlainText("It froze.\nTwice.");
        form.btnSendClick();
        EXPECT_FALSE(form.isVisible());
    }
    const auto mails = sink.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(ParseMail(mails[0].Data).Text, "It froze.\r\nTwice.\r\n*****Log file *****\r\n* Error: boom\r\n");
    // Closing without sending still keeps the edited address.
    TfrmErrorReportPublish form(1);
    form.show();
    form.edtEmail->setText("other@example.org");
    form.reject();
    EXPECT_EQ(Environment.ErrorReportEmail, "other@example.org");
    EXPECT_EQ(sink.Mails().size(), 1u);
}

TEST_F(FormsTest, ErrorReportSenderIsOptionalButMustBeValidWhenTyped) {
    SmtpSink sink;
    InetSettings().MailPort = sink.Port();
    InetSettings().MailRecipient = "reports@example.net";
    struct Case {
        const char* typed;
        const char* from;  // the mail's sender; empty: refused in the form
    } cases[] = {
        {"", "reports@example.net"},    {"   ", "reports@example.net"}, {" me@example.org ", "me@example.org"},
        {"a @b.c", ""},                 {"@b.c", ""},                     {"ab.c", ""},
        {"a@bc", ""},                   {"me@example.org x", ""},         {"bad<x>@a.b", ""},
        {"me@example.org>", ""},
    };
    std::size_t sent = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        messages_.clear();
        TfrmErrorReportPublish form(1);
        form.LogText = "log";
        form.show();
        form.edtEmail->setText(c.typed);
        form.Memo1->setPlainText("What I did.");
        form.btnSendClick();
        const auto mails = sink.Mails();
        if (*c.from) {
            EXPECT_FALSE(form.isVisible());
            ASSERT_EQ(mails.size(), ++sent);
            EXPECT_EQ(mails.back().From, std::string("<") + c.from + ">");
            EXPECT_EQ(ParseMail(mails.back().Data).Header("From"), c.from);
            EXPECT_EQ(Texts(), std::vector<std::string>{LangText(357)});
        } else {
            // Refused before anything is sent; what was typed stays.
            EXPECT_TRUE(form.isVisible());
            EXPECT_EQ(mails.size(), sent);
            EXPECT_EQ(Texts(), std::vector<std::string>{LangText(423)});
            EXPECT_EQ(form.Memo1->toPlainText(), "What I did.");
            EXPECT_EQ(form.edtEmail->text(), c.typed);
        }
    }
}

TEST_F(FormsTest, InGermanTheCaptionsAreTheLanguageTextsAlone) {
    SetLanguageResourceOpener([](const std::string& name) { return sys::ReadFileText(BinaryDir() + name); });
    SetLanguage(1);
    ASSERT_EQ(LangText(53), "Fehlerbericht senden");
    TfrmErrorReportPublish report(1);
    TfrmEmailCard card(nullptr);
    const std::pair<QWidget*, int> windows[] = {{&report, 53}, {&card, 25}};
    for (const auto& [window, text] : windows) {
        SCOPED_TRACE(text);
        window->show();
        EXPECT_EQ(window->windowTitle(), LangQText(text));
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
        window->close();
    }
}

TEST_F(FormsTest, CardFormNeedsRecipientsAndUsesTheAddressBook) {
    Environment.PlayerAlias = "Ann";
    Environment.Email = "ann@a.b";
    TfrmEmailCard plain;
    EXPECT_EQ(plain.size(), QSize(356, 315));
    EXPECT_TRUE(plain.sbtnTo->isHidden());  // no address book here
    EXPECT_EQ(plain.edtSender->text(), "Ann");
    EXPECT_FALSE(plain.btnSend->isEnabled());
    plain.edtAddresses->setText("   ");
    EXPECT_FALSE(plain.btnSend->isEnabled());
    plain.edtAddresses->setText("x@y.z");
    EXPECT_TRUE(plain.btnSend->isEnabled());
    plain.memComments->setPlainText("Hi\nthere");
    plain.actSendExecute();
    EXPECT_EQ(plain.result(), QDialog::Accepted);
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(Descramble(requests[0].Body.substr(3)).rfind("x@y.z|Hi<br>\nthere|Ann|ann@a.b| | |", 0), 0u);

    class Book final : public IAddressBook {
    public:
        bool Available() const override { return true; }
        std::vector<std::string> PickRecipients(QWidget*) override { return {"x@y.z", "u@v.w"}; }
    } book;
    TfrmEmailCard picking(&book);
    EXPECT_FALSE(picking.sbtnTo->isHidden());
    picking.actToExecute();
    EXPECT_EQ(picking.edtAddresses->text(), "x@y.z, u@v.w");
}

TEST_F(FormsTest, WorldBestFormRunsOnceShownAndOffersTheReplay) {
    answer_ = "OK";
    Environment.Scenarios[1].WorldBestFile = "wb.gmp";
    TfrmDownloadWorldBest form(1);
    EXPECT_EQ(form.size(), QSize(225, 137));
    EXPECT_FALSE(form.btnReplay->isEnabled());
    EXPECT_TRUE(form.cbxLevel->isHidden());
    form.OnFinished = [&] {
        EXPECT_TRUE(form.btnReplay->isEnabled());
        form.btnReplay->click();
    };
    EXPECT_EQ(form.Execute(), 0);
    EXPECT_EQ(form.Download().CheckState(), 2);

    answer_ = "ERR";
    TfrmDownloadWorldBest refused(1);
    refused.OnFinished = [&] {
        EXPECT_FALSE(refused.btnReplay->isEnabled());
        refused.btnCancel->click();
    };
    EXPECT_EQ(refused.Execute(), -1);
    EXPECT_EQ(Texts(), std::vector<std::string>{kWorldBestUnavailableText});
}

}  // namespace
}  // namespace qv::test
