// Two duel bots, each a process of its own, duel on 127.0.0.1: the host on
// an ephemeral port, the joiner pointed at it.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>

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
    const std::string first = host.ReadLine();
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
    run.host = Fields(host.ReadLine());
    host.Finish();
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

}  // namespace
}  // namespace qv
