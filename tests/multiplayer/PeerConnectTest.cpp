// The duel connection dialog and the duel runner with Qt offscreen: the
// dialog's decisions by peer state, cancel, a search that times out, a
// duel refused while another runs, and a whole host-side run with a game
// stand-in.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "foundation/qv3Language.h"
#include "tests/support/EnglishTexts.h"
#include "frontend/ui/qv3Messages.h"
#include "game/assets/qv3Resources.h"
#include "multiplayer/qv3PeerConnect.h"
#include "platform/system/Files.h"
#include "tests/game/GameContent.h"
#include "tests/multiplayer/DuelTestSupport.h"
#include "tests/support/LogicTestSupport.h"
#include "tests/support/ScenarioFixture.h"

namespace qv::mp {
namespace {

[[maybe_unused]] const bool kTexts = test::UseEnglishTexts();

// One application for the whole program, kept to the end as the front end's is.
QApplication& App() {
    static int argc = 1;
    static char name[] = "tests_duel_connect";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class TRecordedMessages final : public ui::IMessages {
public:
    bool Confirm(const std::string& t) override { return Add(t), true; }
    bool WarnYesNo(const std::string& t) override { return Add(t), true; }
    void Info(const std::string& t) override { Add(t); }
    void Error(const std::string& t) override { Add(t); }
    void Add(const std::string& t) { texts.push_back(t); }
    std::vector<std::string> texts;
};

using test::TStoppedTimerClock;

// Runs `step` on the open connection dialog every few ms until it returns
// true; cancels the dialog as a failure when that takes 10 s.
void WhileDialogOpen(const std::function<bool(TfrmPeerConnect&)>& step) {
    auto* timer = new QTimer(&App());
    auto rounds = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, step, rounds] {
        auto* dialog = qobject_cast<TfrmPeerConnect*>(QApplication::activeModalWidget());
        if (dialog && step(*dialog)) {
            timer->deleteLater();
        } else if (++*rounds > 2000) {
            ADD_FAILURE() << "the dialog never reached the expected step";
            timer->deleteLater();
            if (dialog) dialog->Cancel();
        }
    });
    timer->start(5);
}

class PeerConnectTest : public ::testing::Test {
protected:
    PeerConnectTest() {
        App();
        services.Messages = &messages;
        services.RunGame = [this](const ui::TGameRequest& r, IDuelLink& duel) {
            ++games;
            gameMode = r.GameMode;
            gamePhase = duel.View().Phase;
            if (inner) inner();
            return gameResult;
        };
    }
    ~PeerConnectTest() override {
        SetDuelRunServices({});
        DuelPeer.reset();
    }
    std::unique_ptr<TDuelPeerClient> Client(std::uint32_t port) {
        TDuelPeerOptions o;
        o.Port = port;
        o.Clock = &clock;
        o.TimerClock = &timerClock;
        return std::make_unique<TDuelPeerClient>("Joining", "127.0.0.1", o);
    }

    TRecordedMessages messages;
    TDuelRunServices services;
    sys::TManualClock clock;
    TStoppedTimerClock timerClock;
    int games = 0;
    std::uint8_t gameMode = 0;
    TDuelPhase gamePhase = TDuelPhase::Waiting;
    TDuelGameResult gameResult;
    std::function<void()> inner;
    std::array<std::uint8_t, 16> raceId{};
    std::int32_t total = -5;
};

TEST(PeerConnectStatus, DecisionByState) {
    struct Case {
        bool host;
        int state;
        TConnectStatus want;
    };
    const Case cases[] = {
        {false, 0, {404, false, false, false}}, {false, 1, {405, false, false, false}},
        {false, 2, {0, true, true, false}},     {false, 5, {0, true, true, false}},
        {false, 6, {403, true, false, true}},   {true, 0, {402, false, false, false}},
        {true, 1, {0, true, true, false}},      {true, 4, {0, true, true, false}},
        {true, 5, {403, true, false, true}},
    };
    for (const auto& c : cases) {
        const TConnectStatus s = PeerConnectStatus(c.host, c.state);
        EXPECT_EQ(s.Text, c.want.Text) << c.host << c.state;
        EXPECT_EQ(s.Close, c.want.Close) << c.host << c.state;
        EXPECT_EQ(s.Connected, c.want.Connected) << c.host << c.state;
        EXPECT_EQ(s.Failed, c.want.Failed) << c.host << c.state;
    }
}

TEST_F(PeerConnectTest, CancelWhileSearchingStartsNoGame) {
    services.MakePeer = [this](const std::string&, const std::string&) { return Client(9); };
    SetDuelRunServices(services);
    bool sawSearching = false;
    WhileDialogOpen([&](TfrmPeerConnect& d) {
        if (d.windowTitle() != "Connecting..." || d.StatusText() != "Searching Host") return false;
        sawSearching = true;
        d.Cancel();
        return true;
    });
    EXPECT_EQ(RunDuel("Me", "127.0.0.1", raceId, total), kDuelNone);
    EXPECT_TRUE(sawSearching);
    EXPECT_EQ(games, 0);
    EXPECT_EQ(DuelPeer, nullptr);
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_EQ(total, -5);
}

TEST_F(PeerConnectTest, SearchTimeOutIsReported) {
    TDuelPeerClient* made = nullptr;
    services.MakePeer = [&](const std::string&, const std::string&) {
        auto c = Client(9);
        made = c.get();
        return std::unique_ptr<TCustomDuelPeer>(std::move(c));
    };
    SetDuelRunServices(services);
    WhileDialogOpen([&](TfrmPeerConnect&) {
        if (!made) return false;
        clock.AdvanceMilliseconds(30000);
        made->CheckTimeouts();
        return true;
    });
    EXPECT_EQ(RunDuel("Me", "127.0.0.1", raceId, total), kDuelNone);
    EXPECT_EQ(games, 0);
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Unable to access server\rTime-out searching host"});
    EXPECT_EQ(DuelPeer, nullptr);
}

TEST_F(PeerConnectTest, PeerThatCannotBeMadeIsReported) {
    services.MakePeer = [](const std::string&, const std::string&) -> std::unique_ptr<TCustomDuelPeer> {
        throw std::runtime_error("no network");
    };
    SetDuelRunServices(services);
    EXPECT_EQ(RunDuel("Me", "", raceId, total), kDuelNone);
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Error initiating connection: no network"});
}

TEST_F(PeerConnectTest, HostRunsTheGameOnceJoinedAndNestedDuelsAreRefused) {
    TDuelPeerHost* host = nullptr;
    services.MakePeer = [&](const std::string& name, const std::string& address) {
        EXPECT_EQ(name, "Me");
        EXPECT_EQ(address, "");
        TDuelPeerOptions o;
        o.Port = 0;
        auto h = std::make_unique<TDuelPeerHost>(name, o);
        host = h.get();
        return std::unique_ptr<TCustomDuelPeer>(std::move(h));
    };
    std::unique_ptr<TDuelPeerClient> joiner;
    bool sawWaiting = false;
    WhileDialogOpen([&](TfrmPeerConnect& d) {
        if (!host) return false;
        sawWaiting = d.StatusText() == "Waiting for player";
        joiner = Client(host->Port());
        return true;
    });
    gameResult.DuelWon = 3;
    gameResult.RaceId = {7, 7, 7};
    gameResult.TotalScore = 61230;
    // A second duel started from inside the first (two starts queued) is refused and leaves the first's peer.
    inner = [&] {
        std::array<std::uint8_t, 16> r{};
        std::int32_t t = 0;
        EXPECT_TRUE(InDuel());
        EXPECT_EQ(RunDuel("Other", "", r, t), kDuelNone);
        EXPECT_EQ(DuelPeer.get(), host);
    };
    SetDuelRunServices(services);
    EXPECT_EQ(RunDuel("Me", "", raceId, total), kDuelBothLost);
    EXPECT_TRUE(sawWaiting);
    EXPECT_EQ(games, 1);
    EXPECT_EQ(gameMode, 2);
    EXPECT_EQ(gamePhase, TDuelPhase::Joined);
    EXPECT_EQ(raceId, gameResult.RaceId);
    EXPECT_EQ(total, 61230);
    EXPECT_EQ(DuelPeer, nullptr);
    EXPECT_FALSE(InDuel());
    EXPECT_TRUE(messages.texts.empty());
}

TEST_F(PeerConnectTest, GameErrorTextIsShownAndGivesNoOutcome) {
    services.MakePeer = [](const std::string& name, const std::string&) {
        TDuelPeerOptions o;
        o.Port = 0;
        return std::unique_ptr<TCustomDuelPeer>(std::make_unique<TDuelPeerHost>(name, o));
    };
    std::unique_ptr<TDuelPeerClient> joiner;
    WhileDialogOpen([&](TfrmPeerConnect&) {
        auto* host = dynamic_cast<TDuelPeerHost*>(DuelPeer.get());
        if (!host) return false;
        joiner = Client(host->Port());
        return true;
    });
    gameResult.ErrorText = "Invalid mode";
    gameResult.DuelWon = 2;
    SetDuelRunServices(services);
    EXPECT_EQ(RunDuel("Me", "", raceId, total), kDuelNone);
    EXPECT_EQ(messages.texts, std::vector<std::string>{"Invalid mode"});
    EXPECT_EQ(total, -5);
}

TEST_F(PeerConnectTest, TheDuelPlaysTheFirstScenarioAndTheChoiceComesBack) {
    test::TempDir dir;
    test::TProgramPackFixture pack;
    const auto first = test::GameScenario(test::BusyLevel(10, 2000));
    auto third = first;
    third.Number = 3;
    pack.BuiltIn = {{0, first}, {3, third}};
    pack.Write(dir / "quorvex.dat");
    sys::CreateDirectories(dir / "packages");
    TQVX3Resources resources(dir / "packages/", dir / "quorvex.dat");
    resources.SelectScenario(3);
    ASSERT_EQ(resources.CurrentSlot(), 3);
    services.Resources = &resources;
    services.MakePeer = [](const std::string& name, const std::string&) {
        TDuelPeerOptions o;
        o.Port = 0;
        return std::unique_ptr<TCustomDuelPeer>(std::make_unique<TDuelPeerHost>(name, o));
    };
    std::unique_ptr<TDuelPeerClient> joiner;
    const auto join = [&](TfrmPeerConnect&) {
        auto* host = dynamic_cast<TDuelPeerHost*>(DuelPeer.get());
        if (!host) return false;
        joiner = Client(host->Port());
        return true;
    };
    int slotInGame = -1;
    inner = [&] { slotInGame = resources.CurrentSlot(); };
    SetDuelRunServices(services);
    WhileDialogOpen(join);
    gameResult.DuelWon = 1;
    EXPECT_EQ(RunDuel("Me", "", raceId, total), kDuelLost);
    EXPECT_EQ(slotInGame, 0);
    EXPECT_EQ(resources.CurrentSlot(), 3);

    // Also when the game raises.
    inner = [&] {
        slotInGame = resources.CurrentSlot();
        throw std::runtime_error("Invalid mode");
    };
    slotInGame = -1;
    WhileDialogOpen(join);
    EXPECT_THROW(RunDuel("Me", "", raceId, total), std::runtime_error);
    EXPECT_EQ(slotInGame, 0);
    EXPECT_EQ(resources.CurrentSlot(), 3);
    EXPECT_EQ(DuelPeer, nullptr);
    EXPECT_FALSE(InDuel());
}

TEST_F(PeerConnectTest, ADuelWhileAPeerExistsShowsNothing) {
    TDuelPeerOptions o;
    o.Port = 0;
    DuelPeer = std::make_unique<TDuelPeerHost>("Busy", o);
    TCustomDuelPeer* existing = DuelPeer.get();
    SetDuelRunServices(services);
    EXPECT_EQ(RunDuel("Me", "", raceId, total), kDuelNone);
    EXPECT_EQ(DuelPeer.get(), existing);
    EXPECT_EQ(games, 0);
    EXPECT_TRUE(messages.texts.empty());
}

}  // namespace
}  // namespace qv::mp
