// The start page in the real browser engine: made only at the first load,
// fetched from a local HTTP server, without a context menu. An outside
// address goes to the system's browser on the player's click only, one per
// click; a page that moves on by script every 100 ms hands nothing on.
// A server that closes the connection leaves the logo pictures in the frame.
#include <httplib.h>

#include <QApplication>
#include <QTest>
#include <QWebEngineView>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "frontend/ui/qv3Carousel.h"
#include "frontend/ui/qv3Main.h"
#include "frontend/ui/qv3Options.h"
#include "frontend/ui/qv3WebBrowser.h"
#include "platform/render/FakeD3D8.h"
#include "tests/frontend/FrontendFixture.h"

namespace qv::ui {
namespace {

class StartPageTest : public test::FrontendFixture {
protected:
    void SetUp() override {
        FrontendFixture::SetUp();
        MakeResources();
        server_.Get("/qv/index.asp", [this](const httplib::Request& req, httplib::Response& res) {
            query_ = req.get_param_value("id") + "/" + req.get_param_value("lid");
            ++startPages_;
            // A link over the whole frame, and a script that tries to leave
            // every 100 ms (each try also asks for a picture, to be counted).
            res.set_content("<html><body style=\"margin:0\"><a href=\"" + Outside() +
                                "?link\" style=\"display:block;width:100%;height:180px\">start</a><script>var n=0;"
                                "setInterval(function(){new Image().src='/qv/try.gif?'+(++n);location.href='" +
                                Outside() + "?script';}, 100);</script></body></html>",
                            "text/html");
        });
        server_.Get("/qv/try.gif", [this](const httplib::Request&, httplib::Response& res) {
            ++tries_;
            res.status = 404;
        });
        server_.Get("/outside.html", [this](const httplib::Request&, httplib::Response& res) {
            ++outsideServed_;
            res.set_content("<html>outside</html>", "text/html");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        ASSERT_GT(port_, 0);
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    void TearDown() override {
        main_.reset();
        options_.reset();
        server_.stop();
        if (thread_.joinable()) thread_.join();
        FrontendFixture::TearDown();
    }
    std::string Outside() const { return "http://127.0.0.1:" + std::to_string(port_) + "/outside.html"; }
    // The main window online, its pages from this server, shown; `s` names
    // the browser and where opened addresses go.
    void ShowMain(TMainWindowServices s) {
        world_->Adapters = {d3d::StandardFakeAdapter()};
        s.MakeDirect3D = [world = world_] {
            return std::make_unique<TzkD3D8>([world] { return d3d::CreateFakeDirect3D8(world); });
        };
        s.Hooks.IsInternetConnected = [] { return true; };
        s.TimerIntervalMs = 1000000;  // ticks are driven by the test
        main_ = std::make_unique<TfrmMain>(std::move(s));
        options_ = std::make_unique<TfrmGameOptions>(nullptr, main_->D3D8Enum(), UserDataDir + "env.dat",
                                                     TSettingsHost{}, nullptr);
        main_->SetOptions(options_.get());
        Environment.InternalHost.Assign("127.0.0.1:" + std::to_string(port_));
        Environment.InternalBase.Assign("/qv/");
        main_->show();
        QApplication::processEvents();
    }

    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<int> startPages_{0}, outsideServed_{0}, tries_{0};
    std::string query_;
    std::shared_ptr<d3d::TFakeWorld> world_ = std::make_shared<d3d::TFakeWorld>();
    std::unique_ptr<TfrmMain> main_;
    std::unique_ptr<TfrmGameOptions> options_;
};

TEST_F(StartPageTest, TheStartPageLoadsFromTheInternalServer) {
    std::vector<std::string> opened;
    bool completed = false;
    TMainWindowServices s;
    s.MakeBrowser = MakeWebBrowser;
    s.Hooks.OpenURL = [&opened](const std::string& url) { opened.push_back(url); };
    Environment.Country = 7;
    ShowMain(std::move(s));
    // Nothing of the engine exists before the start page is shown.
    EXPECT_EQ(main_->findChild<QWebEngineView*>(), nullptr);

    main_->Timer1Timer();
    auto* view = main_->findChild<QWebEngineView*>();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->contextMenuPolicy(), Qt::NoContextMenu);
    // It loads hidden.
    EXPECT_FALSE(view->isVisible());
    QObject::connect(view, &QWebEngineView::loadFinished, [&completed](bool ok) { completed = completed || ok; });

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline && (tries_ < 5 || !completed))
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(startPages_, 1);
    EXPECT_EQ(query_, "7/0");
    EXPECT_TRUE(completed);
    // The page's own ways out went nowhere: not into the window, not to the
    // system's browser.
    EXPECT_GE(tries_, 5);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(outsideServed_, 0);
    EXPECT_TRUE(main_->BrowserShown);
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(view->geometry(), QRect(102, 69, 292, 190));
}

// The page tries to leave every 100 ms: for 3 s nothing is handed on; the
// player's click on its link hands one address to the system's browser, the
// script's later tries nothing, and a second click one more.
TEST_F(StartPageTest, OutsideAddressesOpenOnlyOnThePlayersClick) {
    std::vector<std::string> opened;
    bool completed = false;
    std::uint32_t now = 100000;  // the clicks' clock stands still: each click is in time
    TMainWindowServices s;
    s.MakeBrowser = WebBrowserFactory([&now] { return now; });
    s.Hooks.OpenURL = [&opened](const std::string& url) { opened.push_back(url); };
    ShowMain(std::move(s));
    main_->Timer1Timer();
    auto* view = main_->findChild<QWebEngineView*>();
    ASSERT_NE(view, nullptr);
    QObject::connect(view, &QWebEngineView::loadFinished, [&completed](bool ok) { completed = completed || ok; });
    const auto pumpUntil = [](const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline && !done())
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    };
    ASSERT_TRUE(pumpUntil([&] { return completed && view->isVisible(); }));
    const int before = tries_;
    ASSERT_TRUE(pumpUntil([&] { return tries_ >= before + 30; }));  // 3 s of tries
    EXPECT_TRUE(opened.empty());

    // The engine draws into a widget of its own inside the view.
    QWidget* surface = view->focusProxy() ? view->focusProxy() : view;
    const auto click = [surface] {
        const QPoint at(40, 40);
        QTest::mousePress(surface, Qt::LeftButton, {}, at);
        QTest::mouseRelease(surface, Qt::LeftButton, {}, at, 20);
    };
    // The engine tells a script's navigation from a link's by nothing: a try
    // in the instant after the click may take its place, one all the same.
    const auto pageAddress = [this](const std::string& url) {
        return url == Outside() + "?link" || url == Outside() + "?script";
    };
    click();
    ASSERT_TRUE(pumpUntil([&] { return !opened.empty(); }));
    const int clicked = tries_;
    ASSERT_TRUE(pumpUntil([&] { return tries_ >= clicked + 10; }));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(pageAddress(opened[0])) << opened[0];
    click();
    ASSERT_TRUE(pumpUntil([&] { return opened.size() >= 2; }));
    const int again = tries_;
    ASSERT_TRUE(pumpUntil([&] { return tries_ >= again + 10; }));
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_TRUE(pageAddress(opened[1])) << opened[1];
    EXPECT_EQ(outsideServed_, 0);
}

// A server that takes each connection, reads the request and closes it
// without an answer.
class ClosingServer {
public:
    ClosingServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 16) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd p{fd_, POLLIN, 0};
                if (::poll(&p, 1, 50) <= 0) continue;
                const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
                if (c < 0) continue;
                char buf[4096];
                pollfd q{c, POLLIN, 0};
                if (::poll(&q, 1, 2000) > 0 && ::recv(c, buf, sizeof buf, 0) > 0) ++closed_;
                ::close(c);
            }
        });
    }
    ~ClosingServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    int Port() const { return port_; }
    int Closed() const { return closed_; }

private:
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> closed_{0};
    std::thread thread_;
};

TEST_F(StartPageTest, AServerThatClosesTheConnectionLeavesTheLogoPictures) {
    ClosingServer closing;
    ASSERT_GT(closing.Port(), 0);
    auto world = std::make_shared<d3d::TFakeWorld>();
    world->Adapters = {d3d::StandardFakeAdapter()};
    std::uint32_t now = 100000;
    TMainWindowServices s;
    s.MakeDirect3D = [world] { return std::make_unique<TzkD3D8>([world] { return d3d::CreateFakeDirect3D8(world); }); };
    s.MakeBrowser = MakeWebBrowser;
    s.TickCount = [&now] { return now; };
    s.Hooks.IsInternetConnected = [] { return true; };
    s.Hooks.OpenURL = [](const std::string&) {};
    s.TimerIntervalMs = 1000000;  // ticks are driven by the test
    main_ = std::make_unique<TfrmMain>(std::move(s));
    options_ = std::make_unique<TfrmGameOptions>(nullptr, main_->D3D8Enum(), UserDataDir + "env.dat", TSettingsHost{},
                                                 nullptr);
    main_->SetOptions(options_.get());
    Environment.InternalHost.Assign("127.0.0.1:" + std::to_string(closing.Port()));
    Environment.InternalBase.Assign("/qv/");
    main_->show();
    QApplication::processEvents();

    main_->Timer1Timer();
    auto* view = main_->findChild<QWebEngineView*>();
    ASSERT_NE(view, nullptr);
    int failures = 0, successes = 0;
    QObject::connect(view, &QWebEngineView::loadFinished, [&](bool ok) { ++(ok ? successes : failures); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline && failures == 0 && successes == 0)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    for (int i = 0; i < 10; ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_GE(closing.Closed(), 1);
    EXPECT_EQ(successes, 0);
    EXPECT_EQ(failures, 1);
    // The frame shows the first logo picture, never the engine's error page.
    EXPECT_FALSE(main_->BrowserShown);
    EXPECT_FALSE(view->isVisible());
    QImage logo = main_->Picture();
    DrawStretched(logo, main_->MenuBitmaps()[1], kLogoRect);
    EXPECT_EQ(main_->Picture().copy(kLogoRect), logo.copy(kLogoRect));

    // Later ticks within the minute try nothing; the next try is hidden too.
    const int served = closing.Closed();
    now += 30000;
    main_->Timer1Timer();
    for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(closing.Closed(), served);
    now += 30000;
    main_->Timer1Timer();
    EXPECT_FALSE(view->isVisible());
    const auto again = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < again && failures < 2) QApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(failures, 2);
    EXPECT_FALSE(main_->BrowserShown);
    EXPECT_FALSE(view->isVisible());
}

}  // namespace
}  // namespace qv::ui
