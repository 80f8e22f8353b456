// SIGTERM and SIGINT in a real process (qv_quit_probe): a quit ends the
// event loop, and from then on further quit signals change nothing up to
// the end of the process, however long its teardown takes.
#include <gtest/gtest.h>

#include <csignal>

#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

test::ChildProcess StartProbe(const std::vector<std::string>& args = {}) {
    std::vector<std::string> argv{test::BinaryDir() + "qv_quit_probe"};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::ChildProcess(argv, {"QT_QPA_PLATFORM=offscreen"});
}

TEST(QuitSignals, SignalsDuringTheQuitAndTheTeardownAreAbsorbed) {
    for (const int first : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(first == SIGTERM ? "SIGTERM" : "SIGINT");
        test::ChildProcess probe = StartProbe();
        ASSERT_EQ(probe.ReadLine("the signals handled"), "ready");
        // Twice at once, as Ctrl+C pressed twice.
        probe.Signal(first);
        probe.Signal(first);
        EXPECT_EQ(probe.ReadLine("the end of the event loop"), "quit 1");
        EXPECT_EQ(probe.ReadLine("the end of the quit signals"), "ending");
        // The process is still tearing down (it waits for its input to close).
        probe.Signal(SIGTERM);
        probe.Signal(SIGINT);
        EXPECT_EQ(probe.Finish("its exit after the teardown"), 0) << "ended by a signal";
    }
}

TEST(QuitSignals, AQuitBeforeAnyEventLoopRanCountsAtOnce) {
    test::ChildProcess probe = StartProbe({"--early"});
    ASSERT_EQ(probe.ReadLine("the signals handled"), "ready");
    probe.Signal(SIGTERM);
    // The probe reads this line only after the signal has been delivered.
    probe.WriteLine("go");
    EXPECT_EQ(probe.ReadLine("the quit seen before the event loop"), "seen 1");
    EXPECT_EQ(probe.ReadLine("the end without an event loop"), "quit 1");
    EXPECT_EQ(probe.ReadLine("the end of the quit signals"), "ending");
    EXPECT_EQ(probe.Finish("its exit after the teardown"), 0);
}

}  // namespace
}  // namespace qv
