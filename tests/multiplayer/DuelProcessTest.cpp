// Two duel bots, each a process of its own, duel on 127.0.0.1: the host on
// an ephemeral port, the joiner pointed at it. A bot also hosts a player
// who plays as the program does and quits mid-race.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "platform/system/Files.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

// "outcome=2 race=... total=... text=..." as fields.
std::map<std::string, std::string> Fields(const std::string& line) {
    std::map<std::string, std::string> f;
    const auto textAt = line.find(" text=");
    std::istringstream in(line.substr(0, textAt));
    std::string word;
    while (in >> word) {
        const auto eq = word.find('=');
        if (eq != std::string::npos) f[word.substr(0, eq)] = word.substr(eq + 1);
    }
    if (textAt != std::string::npos) f["text"] = line.substr(textAt + 6);
    return f;
}

struct TDuelRun {
    std::map<std::string, std::string> host, joiner;
    int joinerExit = -1;
};

TDuelRun Duel(const std::vector<std::string>& hostArgs, const std::vector<std::string>& joinerArgs) {
    const std::string bot = test::BinaryDir() + "qv_duel_bot";
    std::vector<std::string> h{bot, "--host"};
    h.insert(h.end(), hostArgs.begin(), hostArgs.end());
    test::ChildProcess host(h);
    const std::string first = host.ReadLine("the host's port");
    EXPECT_EQ(first.rfind("port ", 0), 0u) << first;
    const std::string port = first.size() > 5 ? first.substr(5) : "0";
    std::vector<std::string> j{bot, "--join", "127.0.0.1", "--port", port};
    j.insert(j.end(), joinerArgs.begin(), joinerArgs.end());
    TDuelRun run;
    std::thread joinerThread([&] {
        const auto r = test::RunProcess(j);
        run.joinerExit = r.exitCode;
        std::istringstream lines(r.out);
        std::string line;
        while (std::getline(lines, line))
            if (line.rfind("outcome=", 0) == 0) run.joiner = Fields(line);
        if (r.exitCode != 0 && r.exitCode != 3) ADD_FAILURE() << "joiner: " << r.err;
    });
    run.host = Fields(host.ReadLine("the host's outcome"));
    host.Finish("the host's end");
    joinerThread.join();
    return run;
}

TEST(DuelProcesses, IdleSidesBothLoseAtTheSameMoment) {
    const TDuelRun run = Duel({}, {});
    ASSERT_EQ(run.joinerExit, 0);
    EXPECT_EQ(run.host.at("race"), run.joiner.at("race"));
    EXPECT_NE(run.host.at("race"), std::string(32, '0'));
    EXPECT_EQ(run.host.at("outcome"), "3");
    EXPECT_EQ(run.joiner.at("outcome"), "3");
    EXPECT_GT(std::stoi(run.host.at("total")), 0);
}

TEST(DuelProcesses, TheFiringSideWinsAndBothAgree) {
    const TDuelRun run = Duel({"--fire", "200"}, {});
    ASSERT_EQ(run.joinerExit, 0);
    EXPECT_EQ(run.host.at("race"), run.joiner.at("race"));
    // The firing side keeps the viruses off longer: it wins, and the other side knows it lost.
    EXPECT_EQ(run.host.at("outcome"), "2");
    EXPECT_EQ(run.joiner.at("outcome"), "1");
}

TEST(DuelProcesses, AJoinerThatVanishesMidRaceLeavesTheHostWithConnectionLost) {
    const TDuelRun run = Duel({"--link-timeout", "1500"}, {"--vanish-after", "300"});
    EXPECT_EQ(run.joinerExit, 3);
    EXPECT_EQ(run.host.at("outcome"), "0");
    EXPECT_EQ(run.host.at("text"), "Connection lost");
}

// The player ends the program while the race runs (SIGTERM, as a desktop
// logging out would): the program closes the game and ends, and the other
// side hears that this one left at once, not "Connection lost" at its link
// time-out.
TEST(DuelProcesses, APlayerWhoQuitsMidRaceEndsTheProgramAndTheOtherSideHearsItLeft) {
    const test::TempDir dir;
    sys::CreateDirectories(dir / "run", 0700);
    // Both sides play the program's first scenario.
    test::ChildProcess host({test::BinaryDir() + "qv_duel_bot", "--host", "--pack", test::BinaryDir() + "quorvex.dat"});
    const std::string first = host.ReadLine("the host's port");
    ASSERT_EQ(first.rfind("port ", 0), 0u) << first;
    test::ChildProcess player(
        {test::BinaryDir() + "qv_duel_player", "--join", "127.0.0.1", "--port", first.substr(5)},
        {"XDG_DATA_HOME=" + dir / "data", "QUORVEX_COMMON_DATA=" + dir / "common", "XDG_RUNTIME_DIR=" + dir / "run",
         "HOME=" + dir / "home", "SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy", "QT_QPA_PLATFORM=offscreen"});
    ASSERT_EQ(player.ReadLine("the race under way"), "racing");

    const auto asked = std::chrono::steady_clock::now();
    player.Signal(SIGTERM);
    EXPECT_EQ(player.ReadLine("the player's outcome after the quit request"), "outcome=0 quit=1");
    EXPECT_EQ(player.Finish("the player's end after the quit request"), 0) << "ended by a signal";
    const auto hostLine = Fields(host.ReadLine("the host's outcome"));
    const auto heardMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked).count();
    std::printf("quit request to the other side's outcome: %lld ms\n", static_cast<long long>(heardMs));
    EXPECT_EQ(hostLine.at("outcome"), "0");
    EXPECT_EQ(hostLine.at("text"), "Opponent quitted");
    EXPECT_EQ(host.Finish("the host's end"), 0);
}

}  // namespace
}  // namespace qv
