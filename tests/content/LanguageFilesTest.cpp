// The four shipped language files as the program reads them from the build
// folder: their shape, the texts other code relies on word for word, format
// placeholders and markup that every translation must keep, the country list
// and the texts drawn with the game's own fonts.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "foundation/TextUtil.h"
#include "foundation/qv3Language.h"
#include "game/assets/qv3Graphics.h"
#include "game/data/qv3ScenarioConfig.h"
#include "platform/system/Files.h"
#include "tests/support/TempDir.h"

namespace qv {

namespace {

constexpr int kLineCount = 437;
constexpr int kFirstCountry = 83;
constexpr int kCountryCount = 243;

struct TLanguage {
    const char* code;
    std::vector<std::string> lines;  // Windows-1252 bytes, escapes processed
};

class LanguageFilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (std::size_t i = 0; i < kLanguageCodes.size(); ++i) {
            const std::string code = kLanguageCodes[i];
            languages_[i].code = kLanguageCodes[i];
            const auto bytes = sys::ReadFileText(test::BinaryDir() + "lang" + code + ".txt");
            if (bytes) languages_[i].lines = ParseLanguageFile(*bytes);
        }
    }
    void SetUp() override {
        for (const auto& lang : languages_) {
            ASSERT_EQ(lang.lines.size(), static_cast<std::size_t>(kLineCount)) << "lang" << lang.code << ".txt";
        }
    }
    static const TLanguage& English() { return languages_[0]; }

    static std::array<TLanguage, 4> languages_;
};

std::array<TLanguage, 4> LanguageFilesTest::languages_;

// The format specifiers of a text in order ("%s", "%d", "%.2d", "%%" ...).
std::vector<std::string> Placeholders(const std::string& text) {
    std::vector<std::string> specs;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        std::size_t end = i + 1;
        while (end < text.size() && std::string_view("-.:0123456789").find(text[end]) != std::string_view::npos) {
            ++end;
        }
        specs.push_back(text.substr(i, end - i + 1));
        i = end;
    }
    return specs;
}

// The HTML tags of a text in order, each whole.
std::vector<std::string> Tags(const std::string& text) {
    std::vector<std::string> tags;
    for (std::size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
        const std::size_t end = text.find('>', at);
        tags.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at + 1));
    }
    return tags;
}

int Count(const std::string& text, char c) { return static_cast<int>(std::count(text.begin(), text.end(), c)); }

// The glyph of a character in the game fonts (the image set's map, defined
// on Latin-1 code points), -1 when it has none.
int GlyphOf(char32_t cp) { return cp > 0xFF ? -1 : GlyphOfChar(static_cast<unsigned char>(cp)); }

// The width of a text in font 0 (the loading screen's) as the image set
// measures it: each glyph's width, or the font's space width.
int Font0TextWidth(const std::string& cp1252, double scale) {
    static const TScenarioConfig defaults;
    double width = 0;
    for (char c : cp1252) {
        const int glyph = GlyphOf(Cp1252ToCodePoint(static_cast<unsigned char>(c)));
        width += scale * (glyph < 0 ? GameFontLayouts[0].SpaceWidth : defaults.FontWidth(0, glyph) + 1);
    }
    return static_cast<int>(width);
}

// Lower case with the accents of Latin-1 letters dropped, for ordering.
std::string SortKey(const std::string& cp1252) {
    std::string key;
    for (char c : cp1252) {
        auto cp = Cp1252ToCodePoint(static_cast<unsigned char>(c));
        if (cp >= 0xC0 && cp <= 0xDE) cp += 0x20;
        if (cp >= 0xE0 && cp <= 0xE5) cp = 'a';
        else if (cp == 0xE7) cp = 'c';
        else if (cp >= 0xE8 && cp <= 0xEB) cp = 'e';
        else if (cp >= 0xEC && cp <= 0xEF) cp = 'i';
        else if (cp == 0xF1) cp = 'n';
        else if ((cp >= 0xF2 && cp <= 0xF6) || cp == 0xF8) cp = 'o';
        else if (cp >= 0xF9 && cp <= 0xFC) cp = 'u';
        else if (cp >= 'A' && cp <= 'Z') cp += 0x20;
        key += static_cast<char>(cp);
    }
    return key;
}

// The lines drawn with the game fonts: game screens, bonus labels, the
// play intro, duel results and the loading-screen tips.
std::vector<int> GameFontLines() {
    std::vector<int> lines;
    for (int n = 330; n <= 346; ++n) lines.push_back(n);
    for (int n : {348, 349, 358, 359}) lines.push_back(n);
    for (int n = 362; n <= 366; ++n) lines.push_back(n);
    for (int n = 419; n <= 421; ++n) lines.push_back(n);
    return lines;
}

}  // namespace

TEST_F(LanguageFilesTest, EveryLanguageHasAllTextsAndTheFixedEntries) {
    const std::array<const char*, 4> world = {"World", "Welt", "Monde", "Mondo"};
    for (std::size_t i = 0; i < languages_.size(); ++i) {
        const auto& lang = languages_[i];
        SCOPED_TRACE(lang.code);
        EXPECT_EQ(lang.lines[82], world[i]);
        EXPECT_EQ(lang.lines[422], "");
        // Texts of our own follow the empty line.
        for (int n = 423; n < kLineCount; ++n) EXPECT_FALSE(lang.lines[static_cast<std::size_t>(n)].empty()) << n;
        for (int n = 0; n < 422; ++n) {
            const std::string& text = lang.lines[static_cast<std::size_t>(n)];
            EXPECT_FALSE(text.empty()) << "text " << n;
            EXPECT_EQ(text.find('\\'), std::string::npos) << "text " << n << " keeps an escape: " << text;
            EXPECT_EQ(text.find('\t'), std::string::npos) << "text " << n;
        }
    }
}

TEST_F(LanguageFilesTest, EnglishTextsOtherCodeQuotesAreExact) {
    struct Case {
        int n;
        const char* text;
    };
    const Case cases[] = {
        {25, "Send Email Card"},
        {26, "Sender:"},
        {27, "Name:"},
        {28, "Recipients:"},
        {29, "To..."},
        {30, "Your Comment:"},
        {31, "Please enter a valid email address to give your recipients the ability to reply to your card"},
        {33, "sends the email card."},
        {34, "Send"},
        {36, "Language"},
        {37, "Loading screen language"},
        {38, "Country you live in:"},
        {39, "Graphics"},
        {40, "Rendering Device"},
        {41, "Display Mode"},
        {42, "Desktop Window"},
        {43, "Fullscreen 800 x 600 x 16"},
        {44, "Fullscreen 800 x 600 x 32"},
        {45, "Sound"},
        {46, "Volume Adjustment"},
        {47, "Music"},
        {48, "Sound FX"},
        {49, "Detail"},
        {50, "Graphics Detail"},
        {51, "Normal"},
        {52, "High"},
        {53, "Send Error Report"},
        {54, "Error Description (What happened? How can we reproduce the error?):"},
        {55, "Additionally, this logfile will be attached to your report:"},
        {69, "A New Highscore!"},
        {70, "Congratulations!"},
        {71, "Points"},
        {72, "a new highscore!"},
        {73, "Do you want to upload it to the worldwide web ranking list?"},
        {74, "No"},
        {75, "Cancel"},
        {76, "Yes"},
        {82, "World"},
        {289, "Switzerland"},
        {328, "&Game"},
        {330, "Click Mouse Button to Play"},
        {335, "PAUSED"},
        {336, "SCORE"},
        {337, "TIME"},
        {338, "LOADING"},
        {339, "Press Button to Continue"},
        {341, "Replay Over"},
        {343, "Congratulations!"},
        {344, "Fun Over!"},
        {347, "There was an error sending the card email."},
        {350, "Another instance of %s is already running.\r\nApplication will close."},
        {351, "Unable to connect to the internet."},
        {352, "Please enter a name before you upload your score."},
        {353, "Could not publish Highscore. Scoremaster says:"},
        {354, "Unable to start Browser. The web address was copied to the clipboard, you may paste it manually "
              "into your browser."},
        {355, "Operation Failed: Can't connect to the Internet"},
        {357, "Thanks for your help!"},
        {358, "PREPARE TO"},
        {359, "Play"},
        {361, "Unable to access server"},
        {362, "Waiting for opponent"},
        {363, "You Won the Duel"},
        {364, "You Lost the Duel"},
        {365, "Both Lost Simultaneously"},
        {366, "Duel"},
        {367, "Success"},
        {368, "No login data provided"},
        {369, "Invalid parameter data"},
        {370, "Internal Error"},
        {371, "Client provided invalid data"},
        {372, "Operation timed out"},
        {373, "Someone with the same login is connected"},
        {374, "Invalid name"},
        {375, "Name already exists, please insert a different one"},
        {376, "Sorry, you need to download the latest version"},
        {377, "Unknown result"},
        {378, "Log In"},
        {379, "(identifies you on the chat room, must be unique)"},
        {380, "Name"},
        {381, "To"},
        {382, "me"},
        {383, "%s cancelled his invitation for a duel."},
        {384, "%s invites you for a duel. Do you want to <a href=\"%s%s:%s\" name=\"%s\">Accept</a> or "
              "<a href=\"%s%s\" name=\"%s\">Refuse</a> the invitation?"},
        {385, "%s accepted your duel invitation."},
        {386, "Invited %s for a duel. Please wait for an answer or <a href=\"%s%s\" name=\"%s\">Cancel</a>."},
        {387, "Cancelled invitation of %s for a duel."},
        {388, "%s refused your duel invitation."},
        {389, "Accepted duel invitation from %s."},
        {390, "Refused duel invitation from %s."},
        {391, "Emoticons disabled"},
        {392, "Sorry, this name is used already by another player. Please enter another name. You may add a "
              "number to your name to make it unique."},
        {393, "Session lost!"},
        {394, "Disconnected"},
        {395, "Searching for host..."},
        {396, "Connecting to host..."},
        {397, "Connected"},
        {398, "Error sending message"},
        {400, "Connect"},
        {401, "Disconnect"},
        {402, "Waiting for player"},
        {403, "Disconnected"},
        {404, "Searching Host"},
        {405, "Connecting to Host"},
        {406, "Initiating Connection"},
        {407, "Error initiating connection"},
        {408, "Send"},
        {409, "Invite for Duel"},
        {410, "Send Invitation by Email"},
        {411, "&File"},
        {412, "Close"},
        {413, "&Duel"},
        {414, "&Help"},
        {415, "Online Support..."},
        {416, "Alias"},
        {417, "Rank"},
        {418, "Worldwide Competition"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(English().lines[static_cast<std::size_t>(c.n)], c.text) << "text " << c.n;
    }
}

TEST_F(LanguageFilesTest, TranslationsKeepPlaceholdersMarkupAndAccelerators) {
    for (std::size_t i = 1; i < languages_.size(); ++i) {
        const auto& lang = languages_[i];
        SCOPED_TRACE(lang.code);
        for (std::size_t n = 0; n < English().lines.size(); ++n) {
            const std::string& en = English().lines[n];
            const std::string& tr = lang.lines[n];
            EXPECT_EQ(Placeholders(tr), Placeholders(en)) << "text " << n << ": " << tr;
            EXPECT_EQ(Tags(tr), Tags(en)) << "text " << n << ": " << tr;
            EXPECT_EQ(Count(tr, '&'), Count(en, '&')) << "text " << n << ": " << tr;
        }
    }
    // The texts the program formats do hold the placeholders it fills in.
    EXPECT_EQ(Placeholders(English().lines[67]), (std::vector<std::string>{"%s", "%s"}));
    EXPECT_EQ(Placeholders(English().lines[350]), std::vector<std::string>{"%s"});
    EXPECT_EQ(Placeholders(English().lines[384]).size(), 8u);
    EXPECT_EQ(Placeholders(English().lines[386]).size(), 4u);
}

// The please-wait box reads text 326 + " Quorvex " + its text: each text it
// shows goes on that sentence, starting in lower case and ending it.
TEST_F(LanguageFilesTest, PleaseWaitTextsCompleteTheSentence) {
    for (const auto& lang : languages_) {
        SCOPED_TRACE(lang.code);
        for (int n : {33, 63, 66, 424, 425}) {
            const std::string& text = lang.lines[static_cast<std::size_t>(n)];
            ASSERT_FALSE(text.empty()) << n;
            EXPECT_TRUE(text[0] >= 'a' && text[0] <= 'z') << n << ": " << text;
            EXPECT_EQ(text.back(), '.') << n << ": " << text;
            EXPECT_EQ(text.find("..."), std::string::npos) << n << ": " << text;
        }
    }
    EXPECT_EQ(English().lines[326] + " Quorvex " + English().lines[424],
              "Please wait while Quorvex connects to the server.");
    EXPECT_EQ(languages_[1].lines[326] + " Quorvex " + languages_[1].lines[424],
              "Bitte warten: Quorvex verbindet sich mit dem Server.");
}

TEST_F(LanguageFilesTest, CountriesAreOneAlphabeticalListWithSwitzerlandAsTheDefault) {
    const auto& en = English().lines;
    // Country 207, the value stored when none was chosen.
    EXPECT_EQ(en[207 + 82], "Switzerland");
    for (int k = 1; k < kCountryCount; ++k) {
        const std::string& before = en[static_cast<std::size_t>(kFirstCountry + k - 1)];
        const std::string& after = en[static_cast<std::size_t>(kFirstCountry + k)];
        EXPECT_LT(SortKey(before), SortKey(after)) << "countries " << k << " and " << k + 1;
    }
    for (const auto& lang : languages_) {
        SCOPED_TRACE(lang.code);
        std::vector<std::string> names(lang.lines.begin() + kFirstCountry,
                                       lang.lines.begin() + kFirstCountry + kCountryCount);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "a country name appears twice";
    }
}

TEST_F(LanguageFilesTest, GameFontTextsStayWithinTheGlyphSet) {
    for (const auto& lang : languages_) {
        SCOPED_TRACE(lang.code);
        for (int n : GameFontLines()) {
            const std::string& text = lang.lines[static_cast<std::size_t>(n)];
            const bool multiLine = n >= 419;
            for (char c : text) {
                const char32_t cp = Cp1252ToCodePoint(static_cast<unsigned char>(c));
                const bool allowed = cp == ' ' || GlyphOf(cp) >= 0 || (multiLine && (cp == '\r' || cp == '\n'));
                EXPECT_TRUE(allowed) << "text " << n << " has a character the game fonts lack: " << Cp1252ToUtf8(text);
            }
        }
    }
}

TEST_F(LanguageFilesTest, LoadingTipsFitOnTheirPictures) {
    // Each tip starts at its picture's tip position and is drawn from the
    // left in font 0 at scale 0.65; every line must end before x 800.
    const std::array<int, 3> tipX = {430, 508, 380};
    for (const auto& lang : languages_) {
        SCOPED_TRACE(lang.code);
        for (int tip = 0; tip < 3; ++tip) {
            const std::string& text = lang.lines[static_cast<std::size_t>(419 + tip)];
            const auto lines = SplitLines(text);
            EXPECT_GE(lines.size(), 2u) << "text " << 419 + tip;
            for (const auto& line : lines) {
                EXPECT_LE(tipX[static_cast<std::size_t>(tip)] + Font0TextWidth(line, 0.65), 800)
                    << "text " << 419 + tip << ": " << Cp1252ToUtf8(line);
            }
        }
    }
}

TEST_F(LanguageFilesTest, TheErrorReportFailureIsNotReportedAsThanks) {
    // 356 is shown when the report mail failed, 357 when it was sent.
    for (const auto& lang : languages_) {
        EXPECT_NE(lang.lines[356], lang.lines[357]) << lang.code;
    }
}

TEST_F(LanguageFilesTest, TextsAreWindows1252WithAccentsIntact) {
    // A few translated texts with the accents the converter must carry over.
    EXPECT_EQ(Cp1252ToUtf8(languages_[1].lines[412]), "Schließen");
    EXPECT_EQ(Cp1252ToUtf8(languages_[2].lines[2]), "À propos de Quorvex");
    EXPECT_EQ(Cp1252ToUtf8(languages_[3].lines[76]), "Sì");
    EXPECT_EQ(Cp1252ToUtf8(languages_[0].lines[1]).find("©"), 10u);
    EXPECT_EQ(languages_[1].lines[412], "Schlie\xDF" "en");
}

}  // namespace qv
