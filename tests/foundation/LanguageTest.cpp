#include <gtest/gtest.h>

#include <map>

#include "foundation/Exceptions.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "platform/system/Files.h"
#include "platform/system/KeyStore.h"
#include "tests/support/TempDir.h"

namespace qv {

namespace {

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        sys::FolderInputs in;
        in.programDir = dir_ / "bin/";
        in.userDataBase = dir_ / "share";
        in.commonDataDir = dir_ / "common/";
        sys::CreateDirectories(in.programDir);
        InitializeGlobals({}, in);
        SetLogFile(UserDataDir + kLogFileName);
        SetLanguageResourceOpener([this](const std::string& name) -> std::optional<std::string> {
            auto it = files_.find(name);
            if (it == files_.end()) return std::nullopt;
            return it->second;
        });
    }
    void TearDown() override {
        SetLanguageResourceOpener(nullptr);
        SetLanguage(-1);  // drop the texts
        SetLogFile("");
        FinalizeGlobals();
    }
    std::string Log() const { return sys::ReadFileText(dir_ / "share/Tollbeck/Quorvex/quorvex.log").value_or(""); }

    test::TempDir dir_;
    std::map<std::string, std::string> files_;
};

}  // namespace

TEST(LanguageEscapesTest, EscapeRules) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"\\n", "\r\n"},
        {"one\\ntwo\\nthree", "one\r\ntwo\r\nthree"},
        {"a\\\\b", "a\\b"},
        {"\\\\n", "\\n"},            // two backslashes and n: one backslash and n, no break
        {"a\\\\nb\\nc", "a\\nb\\nc"},  // the first escaped pair ends the search: both stay literal
        {"a\\nb\\\\nc", "a\r\nb\\nc"},
        {"end\\", "end\\"},
        {"\\\\\\\\", "\\\\"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ProcessLanguageEscapes(c.in), c.out) << c.in;
}

TEST(LanguageEscapesTest, FileLinesAreNumberedFromZeroAtAnyLineBreak) {
    const auto lines = ParseLanguageFile("zero\r\none\ntwo\rthree\r\n\r\nfive");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "zero");
    EXPECT_EQ(lines[3], "three");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], "five");
}

TEST_F(LanguageTest, LoadedTextsByNumberAndOutOfRangeThrows) {
    files_["langDEU.txt"] = "Null\r\nEins\\nZwei\r\nGr\xFC\xDF" "e\r\n";
    SetLanguage(1);
    EXPECT_EQ(LanguageTextCount(), 3);
    EXPECT_EQ(LangText(0), "Null");
    EXPECT_EQ(LangText(1), "Eins\r\nZwei");
    EXPECT_EQ(LangText(2), "Gr\xFC\xDF" "e");  // Windows-1252 bytes as stored
    EXPECT_THROW(LangText(3), EListError);
    EXPECT_THROW(LangText(-1), EListError);
}

TEST_F(LanguageTest, ChoiceIsStoredUnderTheProgramKeyAndReadBack) {
    EXPECT_EQ(ReadLanguageIndex(), 0);  // first start: no key store at all
    files_["langFRA.txt"] = "Bonjour\r\n";
    SetLanguage(2);
    EXPECT_EQ(sys::TKeyStore(CommonDataDir + "registry.ini").ReadString(sys::kProgramKey, "Language").value(), "FRA");
    EXPECT_EQ(ReadLanguageIndex(), 2);

    struct Case {
        const char* stored;
        int index;
    };
    const Case cases[] = {{"deu", 1}, {"ITA", 3}, {"Enu", 0}, {"XYZ", 0}, {"", 0}, {"DEU ", 1}};
    sys::TKeyStore store(KeyStorePath());
    for (const Case& c : cases) {
        ASSERT_TRUE(store.WriteString(sys::kProgramKey, "Language", c.stored));
        EXPECT_EQ(ReadLanguageIndex(), c.index) << c.stored;
    }
}

TEST_F(LanguageTest, AFailedLoadGivesEmptyTextsLoggedOnce) {
    files_["langENU.txt"] = "Hello\r\n";
    SetLanguage(0);
    ASSERT_EQ(LangText(0), "Hello");
    SetLanguage(3);  // no Italian file
    EXPECT_EQ(LanguageTextCount(), 0);
    EXPECT_EQ(LangText(0), "");
    EXPECT_EQ(LangText(100), "");
    const std::string log = Log();
    EXPECT_NE(log.find("* Warning: Could not load language file langITA.txt\r\n"), std::string::npos) << log;
    const auto first = log.find("Language texts are not loaded");
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find("Language texts are not loaded", first + 1), std::string::npos) << log;
    // The choice is still stored, as the player made it.
    EXPECT_EQ(ReadLanguageIndex(), 3);
}

TEST_F(LanguageTest, AnOpenerThatThrowsCountsAsAFailedLoad) {
    SetLanguageResourceOpener([](const std::string&) -> std::optional<std::string> { throw std::runtime_error("x"); });
    SetLanguage(0);
    EXPECT_EQ(LangText(5), "");
}

TEST_F(LanguageTest, ShippedEnglishFile) {
    auto bytes = sys::ReadFileText(test::BinaryDir() + "langENU.txt");
    ASSERT_TRUE(bytes);
    files_["langENU.txt"] = *bytes;
    SetLanguage(0);
    EXPECT_EQ(LanguageTextCount(), 437);
    EXPECT_EQ(LangText(350), "Another instance of %s is already running.\r\nApplication will close.");
    EXPECT_EQ(LangText(82), "World");
    EXPECT_EQ(LangText(422), "");
}

}  // namespace qv
