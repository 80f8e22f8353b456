// qv_langconv, the build step that turns a UTF-8 language source into the
// Windows-1252 file the program reads, run as the build runs it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/qv3Language.h"
#include "platform/system/Files.h"
#include "tests/support/Process.h"
#include "tests/support/TempDir.h"

namespace qv {

namespace {

constexpr int kLineCount = 437;

// A language source of `count` lines: the given first lines, then "x" up to
// the last line, which stays empty; each line ends with `eol`.
std::string Source(const std::vector<std::string>& first, int count = kLineCount, const std::string& eol = "\n") {
    std::string text;
    for (int n = 0; n < count; ++n) {
        if (static_cast<std::size_t>(n) < first.size()) {
            text += first[static_cast<std::size_t>(n)];
        } else if (n < count - 1) {
            text += "x";
        }
        text += eol;
    }
    return text;
}

class LangConvTest : public ::testing::Test {
protected:
    test::ProcessResult Convert(const std::string& source) {
        dir_.Write("langTST.txt", source);
        return Run({SourcePath(), OutputPath()});
    }
    test::ProcessResult Run(std::vector<std::string> args) const {
        args.insert(args.begin(), test::BinaryDir() + "qv_langconv");
        return test::RunProcess(args);
    }
    std::string SourcePath() const { return dir_ / "langTST.txt"; }
    std::string OutputPath() const { return dir_ / "out/langTST.txt"; }

    test::TempDir dir_;
};

}  // namespace

TEST_F(LangConvTest, WritesWindows1252WithCrLfLineEnds) {
    const std::vector<std::string> first = {"Grüße aus Zürich – 5 €", "Zwei Zeilen\\nund ein \\\\ Zeichen", "Çà"};
    std::string expected = "Gr\xFC\xDF" "e aus Z\xFCrich \x96 5 \x80\r\n"
                           "Zwei Zeilen\\nund ein \\\\ Zeichen\r\n"
                           "\xC7\xE0\r\n";
    for (int n = 3; n < kLineCount - 1; ++n) expected += "x\r\n";
    expected += "\r\n";

    struct Case {
        const char* name;
        std::string source;
    };
    const Case cases[] = {
        {"LF line ends", Source(first)},
        {"CR LF line ends", Source(first, kLineCount, "\r\n")},
        {"with a byte order mark", "\xEF\xBB\xBF" + Source(first)},
    };
    sys::CreateDirectories(dir_ / "out");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = Convert(c.source);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto written = sys::ReadFileText(OutputPath());
        ASSERT_TRUE(written);
        EXPECT_EQ(*written, expected);

        // Read back as the program reads it: escapes become text.
        const auto lines = ParseLanguageFile(*written);
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLineCount));
        EXPECT_EQ(lines[1], "Zwei Zeilen\r\nund ein \\ Zeichen");
        EXPECT_EQ(lines[kLineCount - 1], "");
    }
}

TEST_F(LangConvTest, RefusesSourcesItCannotConvertAndLeavesNoOutput) {
    struct Case {
        const char* name;
        std::string source;
        std::string message;  // part of what it reports
    };
    const std::vector<std::string> none;
    const Case cases[] = {
        {"arrow", Source({"a", "b", "c", "d", "e", "to \xE2\x86\x92 there"}), "langTST.txt:6: text 5, column 4: U+2192"},
        {"emoji", Source({"smile \xF0\x9F\x98\x80"}), "langTST.txt:1: text 0, column 7: U+1F600"},
        {"Cyrillic", Source({"ok", "\xD0\x96"}), "langTST.txt:2: text 1, column 1: U+0416"},
        {"malformed UTF-8", Source({"bad \xFF byte"}), "langTST.txt:1: text 0, column 5: byte 0xFF is not valid UTF-8"},
        {"overlong form", Source({"\xC0\xAF"}), "byte 0xC0 is not valid UTF-8"},
        {"cut sequence", Source({"end \xC3"}), "byte 0xC3 is not valid UTF-8"},
        {"tab", Source({"a\tb"}), "control character U+0009"},
        {"byte order mark inside", Source({"ok", "\xEF\xBB\xBFno"}), "U+FEFF"},
        {"one line short", Source(none, kLineCount - 1), "has 436 lines; a language file has exactly 437"},
        {"one line too many", Source(none, kLineCount + 1), "has 438 lines"},
        {"empty file", "", "has 0 lines"},
    };
    sys::CreateDirectories(dir_ / "out");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        dir_.Write("out/langTST.txt", "from an earlier run");
        const auto r = Convert(c.source);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(sys::FileExists(OutputPath()));
    }
}

TEST_F(LangConvTest, ReportsEveryBadCharacterOfTheFile) {
    const auto r = Convert(Source({"\xE2\x80\x8B", "fine", "a \xE2\x86\x90 b \xE2\x86\x92"}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(":1: text 0, column 1: U+200B"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(":3: text 2, column 3: U+2190"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(":3: text 2, column 7: U+2192"), std::string::npos) << r.err;
}

TEST_F(LangConvTest, BadInvocationsFailWithoutWriting) {
    EXPECT_EQ(Run({}).exitCode, 2);
    EXPECT_EQ(Run({SourcePath()}).exitCode, 2);
    const auto missing = Run({dir_ / "nowhere.txt", OutputPath()});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("nowhere.txt: cannot be read"), std::string::npos) << missing.err;
    // A folder that does not exist cannot take the output.
    dir_.Write("langTST.txt", Source({}));
    const auto unwritable = Run({SourcePath(), dir_ / "no/such/folder/out.txt"});
    EXPECT_EQ(unwritable.exitCode, 2);
    EXPECT_NE(unwritable.err.find("cannot be written"), std::string::npos) << unwritable.err;
}

}  // namespace qv
