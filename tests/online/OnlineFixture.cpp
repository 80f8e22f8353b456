#include "tests/online/OnlineFixture.h"

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "platform/system/Files.h"
#include "tests/support/EnglishTexts.h"

namespace qv::test {

void OnlineTest::SetUp() {
    EnterProgramFolders(dir_);
    SetLogFile(UserDataDir + kLogFileName);
    Environment = TEnvironmentRecord{};
    HostsResolved = false;

    InetSystem().IsConnected = [this] { return connected_; };
    InetSystem().AutoDial = [] { return true; };
    InetSystem().OpenInBrowser = [this](const std::string& url) {
        opened_.push_back(url);
        return browserWorks_;
    };
    InetSystem().MailDate = [] { return std::string("Thu, 10 Dec 2026 12:00:00 +0000"); };
    InetSettings() = TInetSettings{};
    InetSettings().ConnectTimeoutMs = 2000;
    InetSettings().TotalTimeoutMs = 5000;
    InetSettings().MailHost = "127.0.0.1";

    OnlineUi().ShowMessage = [this](TMessageKind kind, const std::string& text) {
        messages_.push_back({kind, text});
    };
    OnlineUi().Confirm = [this](const std::string& text) {
        const std::size_t n = questions_.size();
        questions_.push_back(text);
        return n < answers_.size() && answers_[n];
    };
    OnlineUi().ShowPleaseWait = [this](const std::string& text) -> std::function<void()> {
        pleaseWait_.push_back(text);
        ++pleaseWaitOpen_;
        return [this] { --pleaseWaitOpen_; };
    };
    OnlineUi().SetClipboardText = [this](const std::string& text) { clipboard_ = text; };
}

void OnlineTest::TearDown() {
    OnlineUi() = TOnlineUi{};
    InetSystem() = TInetSystem{};
    InetSettings() = TInetSettings{};
    HostsResolved = false;
    Environment = TEnvironmentRecord{};
    SetLanguageResourceOpener(nullptr);
    SetLanguage(-1);
    SetLogFile("");
    FinalizeGlobals();
    EXPECT_EQ(pleaseWaitOpen_, 0) << "a please-wait box was left open";
}

std::string OnlineTest::Log() const { return sys::ReadFileText(UserDataDir + kLogFileName).value_or(""); }

std::vector<std::string> OnlineTest::Texts() const {
    std::vector<std::string> texts;
    for (const ShownMessage& m : messages_) texts.push_back(m.Text);
    return texts;
}

}  // namespace qv::test
