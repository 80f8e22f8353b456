#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <set>
#include <thread>
#include <vector>

#include "foundation/Exceptions.h"
#include "foundation/qv3Log.h"
#include "platform/system/Files.h"
#include "tests/support/TempDir.h"

namespace qv {

namespace {

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_ / "quorvex.log";
        SetLogFile(path_);
    }
    void TearDown() override { SetLogFile(""); }

    std::string File() const { return sys::ReadFileText(path_).value_or("<missing>"); }
    void Put(const std::string& text) { dir_.Write("quorvex.log", text); }

    test::TempDir dir_;
    std::string path_;
};

}  // namespace

TEST_F(LogTest, FirstStartCreatesTheFileAndBeginsOneRun) {
    EXPECT_EQ(File(), "");
    LogBeginRun();
    EXPECT_EQ(File(), "<*** Begin ***>\r\n");
    EXPECT_FALSE(LogHasProblems());
}

TEST_F(LogTest, SetLogFileKeepsAnExistingLog) {
    SetLogFile("");
    Put("<*** Begin ***>\r\n* Info: kept\r\n");
    SetLogFile(path_);
    EXPECT_EQ(File(), "<*** Begin ***>\r\n* Info: kept\r\n");
}

TEST_F(LogTest, BeginRunKeepsOnlyThePreviousRun) {
    Put("<*** Begin ***>\r\n* Info: one\r\n<*** End ***>\r\n<*** begin ***>\r\n* Info: two\r\n<*** End ***>\r\n");
    LogBeginRun();
    EXPECT_EQ(File(), "<*** begin ***>\r\n* Info: two\r\n<*** End ***>\r\n<*** Begin ***>\r\n");
    EXPECT_FALSE(LogHasProblems());
    EXPECT_FALSE(sys::FileExists(path_ + ".tmp"));
}

TEST_F(LogTest, ALogTooLargeToReadIsStartedAfreshAndSaysSo) {
    Put("<*** Begin ***>\r\n* Error: old\r\n");
    // Grown past the limit (sparse, so nothing large is written).
    ASSERT_EQ(::truncate(path_.c_str(), static_cast<off_t>(kMaxLogFileSize) + 1), 0);
    EXPECT_FALSE(LogHasProblems());
    EXPECT_EQ(ReadLogText(), "");
    LogBeginRun();
    const std::string file = File();
    EXPECT_EQ(file.rfind("<*** Begin ***>\r\n* Warning: Previous log dropped: File " + path_ + " is too large (", 0), 0u)
        << file.substr(0, 200);
    EXPECT_LT(file.size(), 1000u);
    LogMessage("fresh");
    EXPECT_NE(ReadLogText().find("* Info: fresh"), std::string::npos);
}

TEST_F(LogTest, LinesWithoutAnyBeginAreAllKept) {
    Put("stray\nlines\rhere\r\n");
    LogBeginRun();
    EXPECT_EQ(File(), "stray\r\nlines\r\nhere\r\n<*** Begin ***>\r\n");
}

TEST_F(LogTest, EntryLineForms) {
    struct Case {
        std::uint32_t kind;
        bool viaCode;
        const char* line;
    };
    const Case cases[] = {
        {0, false, "* Unknown: m"},      {1, false, "* Info: m"},        {2, false, "* Warning: m"},
        {3, false, "* Error: m"},        {4, false, "* Checkpoint: m"},  {5, false, "* Note: m"},
        {6, false, "* Entering: m"},     {7, false, "* Exiting: m"},     {8, false, "* Separator: m"},
        {9, false, "* Unknown: m"},      {0x83, false, "* Error: m"},    {0xFF, false, "* Unknown: m"},
        {300, true, "* Msg 0000012C: m"}, {0x8100000D, true, "* Msg 8100000D: m"},
        {0x83, true, "* Error: m"},       {255, true, "* Unknown: m"},    {256, true, "* Msg 00000100: m"},
    };
    std::string expected;
    for (const Case& c : cases) {
        if (c.viaCode) {
            LogMessageCode("m", c.kind);
        } else {
            LogMessage("m", static_cast<TLogKind>(c.kind));
        }
        expected += std::string(c.line) + "\r\n";
    }
    EXPECT_EQ(File(), expected);
}

TEST_F(LogTest, RunWithoutEndIsAProblemUntilReported) {
    Put("<*** Begin ***>\r\n* Info: crashed here\r\n");
    LogBeginRun();
    EXPECT_TRUE(LogHasProblems());
    LogSetReported();
    EXPECT_EQ(File(), "<*** Begin ***>\r\n* Info: crashed here\r\n<*** End ***>\r\n<*** Begin ***>\r\n");
    EXPECT_FALSE(LogHasProblems());
}

TEST_F(LogTest, ErrorAndCodeLinesAreProblemsMarkedAsReported) {
    LogBeginRun();
    LogMessage("plain", lkInfo);
    LogMessage("it broke", lkError);
    EXPECT_TRUE(LogHasProblems());
    LogMessageCode("Create Direct3D 8", 0x8100000D);
    LogSetReported();
    EXPECT_EQ(File(),
              "<*** Begin ***>\r\n* Info: plain\r\n> Error: it broke\r\n> Msg 8100000D: Create Direct3D 8\r\n");
    EXPECT_FALSE(LogHasProblems());
    LogMessageCode("again", 0x81010001);
    EXPECT_TRUE(LogHasProblems());
}

TEST_F(LogTest, ProblemMatchIgnoresCaseAndReportedLinesAreCut) {
    const std::string longText(20000, 'x');
    Put("* ERROR: shouting\r\n* msg lower\r\n* " + longText + "\r\n* Error:" + longText + "\r\n");
    EXPECT_TRUE(LogHasProblems());
    LogSetReported();
    auto text = File();
    EXPECT_EQ(text.substr(0, 37), "> ERROR: shouting\r\n> msg lower\r\n* xxx");
    // A reported line keeps at most 10 000 characters after its marker.
    auto lastLine = text.substr(text.rfind("\r\n>") + 2);
    EXPECT_EQ(lastLine.size(), 1 + 10000 + 2);
    EXPECT_FALSE(LogHasProblems());
}

TEST_F(LogTest, EndRunClosesTheRun) {
    LogBeginRun();
    LogEndRun();
    LogBeginRun();
    EXPECT_EQ(File(), "<*** Begin ***>\r\n<*** End ***>\r\n<*** Begin ***>\r\n");
    EXPECT_FALSE(LogHasProblems());
}

TEST_F(LogTest, ReadLogTextJoinsLinesWithCrLf) {
    Put("a\nb\rc\r\n");
    EXPECT_EQ(ReadLogText(), "a\r\nb\r\nc");
}

TEST_F(LogTest, RaiseLoggedErrorLogsTheDetailButThrowsTheMessageOnly) {
    struct Case {
        std::uint32_t code;
        const char* detail;
        const char* line;
    };
    const Case cases[] = {
        {0, "", "* Error: Bad level"},
        {0, "1.lvl", "* Error: Bad level (1.lvl)"},
        {0x81000002, "load", "* Msg 81000002: Bad level (load)"},
    };
    std::string expected;
    for (const Case& c : cases) {
        try {
            RaiseLoggedError("Bad level", c.code, c.detail);
            FAIL() << "no exception";
        } catch (const Exception& e) {
            EXPECT_STREQ(e.what(), "Bad level");
        }
        expected += std::string(c.line) + "\r\n";
    }
    EXPECT_EQ(File(), expected);
}

TEST_F(LogTest, NothingIsWrittenWithoutALogFileAndAppendingNeverCreatesIt) {
    SetLogFile("");
    LogMessage("nowhere", lkInfo);
    LogBeginRun();
    EXPECT_EQ(File(), "");
    EXPECT_FALSE(LogHasProblems());
    EXPECT_EQ(ReadLogText(), "");

    SetLogFile(path_);
    ASSERT_TRUE(sys::RemoveFile(path_));
    LogMessage("lost", lkError);
    LogEndRun();
    EXPECT_FALSE(sys::FileExists(path_));
    EXPECT_FALSE(LogHasProblems());
}

TEST_F(LogTest, ConcurrentWritersGiveWholeLines) {
    constexpr int kThreads = 8, kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                LogMessage("thread " + std::to_string(t) + " line " + std::to_string(i) + std::string(100, 'z'),
                           lkNote);
            }
        });
    }
    for (auto& th : threads) th.join();

    const std::string text = File();
    std::set<std::string> seen;
    std::size_t start = 0, count = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        const std::string line = text.substr(start, end - start);
        ASSERT_EQ(line.rfind("* Note: thread ", 0), 0u) << line;
        ASSERT_EQ(line.substr(line.size() - 100), std::string(100, 'z')) << line;
        seen.insert(line);
        ++count;
        start = end + 2;
    }
    EXPECT_EQ(count, static_cast<std::size_t>(kThreads * kLines));
    EXPECT_EQ(seen.size(), count);
}

namespace {
mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
}
}  // namespace

TEST_F(LogTest, TheLogIsThePlayersAlone) {
    SetLogFile("");
    ASSERT_TRUE(sys::RemoveFile(path_));
    SetLogFile(path_);
    EXPECT_EQ(ModeOf(path_), 0600u);
    LogBeginRun();
    LogMessage("mine");
    EXPECT_EQ(ModeOf(path_), 0600u);
    LogSetReported();
    EXPECT_EQ(ModeOf(path_), 0600u);
}

// What another file at the log's name gets: never read, never written
// through, never a hang; the next run's log replaces it.
TEST_F(LogTest, HostileFilesAtTheLogsName) {
    SetLogFile("");
    const std::string secret = "<*** Begin ***>\r\n* Error: the player's private lines\r\n";
    const std::string victim = dir_.Write("victim", secret);
    ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
    for (const char* kind : {"link", "dangling", "fifo"}) {
        SCOPED_TRACE(kind);
        ASSERT_TRUE(sys::RemoveFile(path_));
        const std::string k = kind;
        const int made = k == "link"       ? ::symlink(victim.c_str(), path_.c_str())
                         : k == "dangling" ? ::symlink((dir_ / "made").c_str(), path_.c_str())
                                           : ::mkfifo(path_.c_str(), 0600);
        ASSERT_EQ(made, 0);
        // A blocking open of the FIFO would wait for a reader for good: the
        // test gives up after a minute and reads once, so the run ends.
        auto run = std::async(std::launch::async, [this] {
            SetLogFile(path_);
            LogMessage("appended", lkError);
            const bool problems = LogHasProblems();
            const std::string text = ReadLogText();
            return std::make_pair(problems, text);
        });
        if (run.wait_for(std::chrono::minutes(1)) != std::future_status::ready) {
            ADD_FAILURE() << "the log blocked on a FIFO";
            const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
            run.wait();
            ::close(fd);
        }
        const auto [problems, text] = run.get();
        EXPECT_FALSE(problems);
        EXPECT_EQ(text, "");
        EXPECT_EQ(sys::ReadFileText(victim).value(), secret);
        EXPECT_FALSE(sys::FileExists(dir_ / "made"));
        // The run's log replaces whatever lay there.
        LogBeginRun();
        LogMessage("fresh");
        EXPECT_EQ(File().find("private"), std::string::npos);
        EXPECT_NE(ReadLogText().find("* Info: fresh"), std::string::npos);
        EXPECT_EQ(ModeOf(path_), 0600u);
        EXPECT_EQ(sys::ReadFileText(victim).value(), secret);
        SetLogFile("");
    }
}

}  // namespace qv
