// The lobby's wire format byte by byte, the room rules, the log-in reply
// matrix, the nickname rule and the result texts.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "foundation/qv3Language.h"
#include "multiplayer/lobby/qv3DPConsts.h"
#include "multiplayer/lobby/qv3LobbyMessages.h"
#include "platform/system/Files.h"
#include "tests/lobby/ChatServer.h"
#include "tests/lobby/LobbyTestSupport.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

using lobby::TBytes;

std::string S(const TBytes& b) { return std::string(b.begin(), b.end()); }

const std::string kKey = "0123456789ABCDEF0123456789ABCDEF";
const TGuid kRace = {0x01234567u, 0x89ABu, 0xCDEFu, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};

TEST(LobbyMessages, ClientMessagesByteByByte) {
    using namespace std::string_literals;
    struct Case {
        const char* name;
        TBytes got;
        std::string want;
    } cases[] = {
        {"log-in", lobby::BuildLogIn(kKey, "ABC"), "\x01"s + kKey + "\x03\x00"s + "ABC"},
        {"log-in short key", lobby::BuildLogIn("AB", "X"), "\x01" "AB"s + std::string(30, '\0') + "\x01\x00X"s},
        {"log-in long key", lobby::BuildLogIn(kKey + "ZZ", ""), "\x01"s + kKey + "\x00\x00"s},
        {"chat", lobby::BuildChat("hi there"), "\x04\x08\x00hi there"s},
        {"chat empty", lobby::BuildChat(""), "\x04\x00\x00"s},
        {"private", lobby::BuildPrivate("BOB", "psst"), "\x05\x04\x00\x03\x00psstBOB"s},
        {"invite", lobby::BuildInvitation("BOB", lobby::iaInvite), "\x06\x01\x03\x00" "BOB"s},
        {"cancel", lobby::BuildInvitation("BOB", lobby::iaCancel), "\x06\x02\x03\x00" "BOB"s},
        {"accept", lobby::BuildAnswer("ANN", lobby::iaAccept), "\x07\x01\x03\x00" "ANN"s},
        {"refuse", lobby::BuildAnswer("ANN", lobby::iaRefuse), "\x07\x02\x03\x00" "ANN"s},
        {"playing", lobby::BuildPlaying(1), "\x08\x01"s},
        {"back", lobby::BuildPlaying(0), "\x08\x00"s},
        {"won", lobby::BuildDuelResult("BOB", kRace, true, 123456),
         "\x09\x03\x00" "0123456789ABCDEFFEDCBA9876543210" "\x01\x40\xE2\x01\x00" "BOB"s},
        {"lost", lobby::BuildDuelResult("BOB", kRace, false, -1),
         "\x09\x03\x00" "0123456789ABCDEFFEDCBA9876543210" "\x00\xFF\xFF\xFF\xFF" "BOB"s},
    };
    for (const auto& c : cases) EXPECT_EQ(S(c.got), c.want) << c.name;
    EXPECT_EQ(lobby::BuildLogIn(kKey, "ABC").size(), 38u);
    EXPECT_EQ(lobby::BuildDuelResult("BOB", kRace, true, 0).size(), 43u);
    // A text too long for its 16-bit length is cut, never wrapped.
    const auto huge = lobby::BuildChat(std::string(70000, 'x'));
    EXPECT_EQ(huge.size(), 3u + 65535u);
    EXPECT_EQ(huge[1], 0xFF);
    EXPECT_EQ(huge[2], 0xFF);
}

TEST(LobbyMessages, ServerMessagesAndTheirLengthChecks) {
    using namespace std::string_literals;
    using M = lobby::TServerMessage;
    struct Case {
        const char* name;
        std::string bytes;
        M want;
    } cases[] = {
        {"public", "h\x03\x00\x02\x00" "ANNhi"s, lobby::TChatMessage{false, "ANN", "hi"}},
        {"private", "i\x03\x00\x02\x00" "ANNhi"s, lobby::TChatMessage{true, "ANN", "hi"}},
        {"public empty text", "h\x03\x00\x00\x00" "ANN"s, lobby::TChatMessage{false, "ANN", ""}},
        {"public one byte long", "h\x03\x00\x02\x00" "ANNhi!"s, M{}},
        {"public one byte short", "h\x03\x00\x02\x00" "ANNh"s, M{}},
        {"public header only", "h\x00\x00\x00"s, M{}},
        {"invitation", "k\x01\x03\x00\x09\x00" "ANN127.0.0.1"s, lobby::TInvitationMessage{1, "ANN", "127.0.0.1"}},
        {"invitation cancelled", "k\x02\x03\x00\x00\x00" "ANN"s, lobby::TInvitationMessage{2, "ANN", ""}},
        {"invitation length off", "k\x01\x03\x00\x09\x00" "ANN127.0.0."s, M{}},
        {"invitation too short", "k\x01\x00\x00\x00"s, M{}},
        {"answer", "l\x01\x03\x00" "BOB"s, lobby::TAnswerMessage{1, "BOB"}},
        {"answer refused", "l\x02\x03\x00" "BOB"s, lobby::TAnswerMessage{2, "BOB"}},
        {"answer length off", "l\x02\x04\x00" "BOB"s, M{}},
        {"answer too short", "l\x02\x00"s, M{}},
        {"room", "j\x01\x00\x02\x00" "OLD\x00" "\x05\x00\x00\x00\x01" "ANN\x00" "\x00\x00\x00\x00\x00" "BOB\x00"s,
         lobby::TRoomMessage{{"OLD"}, {{5, 1, "ANN"}, {0, 0, "BOB"}}}},
        {"room empty", "j\x00\x00\x00\x00"s, lobby::TRoomMessage{}},
        {"room name without NUL", "j\x00\x00\x01\x00" "\x05\x00\x00\x00\x01" "ANN"s, M{}},
        {"room counts overrun", "j\xFF\xFF\xFF\xFF" "A\x00"s, M{}},
        {"room entry cut", "j\x00\x00\x01\x00" "\x05\x00"s, M{}},
        {"room removed overrun", "j\x02\x00\x00\x00" "OLD\x00"s, M{}},
        {"room header cut", "j\x00\x00\x00"s, M{}},
        {"unknown first byte", "z\x00\x00\x00\x00\x00"s, M{}},
        {"nothing", ""s, M{}},
    };
    for (const auto& c : cases) {
        const auto got = lobby::ParseServerMessage(reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size());
        EXPECT_EQ(got, c.want) << c.name;
    }
    // What the test server builds is what the client reads.
    const auto room = test::TChatServer::RoomBytes({"X"}, {{7, 1, "Y"}});
    EXPECT_EQ(lobby::ParseServerMessage(room.data(), room.size()), M(lobby::TRoomMessage{{"X"}, {{7, 1, "Y"}}}));
}

TEST(LobbyMessages, LogInReplyMatrix) {
    using namespace std::string_literals;
    struct Case {
        const char* name;
        bool succeeded;
        std::optional<std::string> reply;  // nullopt: no reply data
        std::uint8_t code;
        std::optional<std::string> loginName;
        std::optional<std::string> reason;
    } cases[] = {
        {"accepted", true, "\x00\x03\x00\x00\x00" "ANN"s, 0, "ANN", std::nullopt},
        {"accepted under another name", true, "\x00\x04\x00\x00\x00" "ANN2"s, 0, "ANN2", std::nullopt},
        {"accepted without data", true, std::nullopt, 4, std::nullopt, std::nullopt},
        {"accepted, reply of 4 bytes", true, "\x00\x00\x00\x00"s, 4, std::nullopt, std::nullopt},
        {"accepted, length mismatch", true, "\x00\x03\x00\x00\x00" "ANNx"s, 4, std::nullopt, std::nullopt},
        {"refused, name taken", false, "\x08\x00\x00\x04\x00" "used"s, 8, std::nullopt, "used"},
        {"refused, name taken, no reason", false, "\x08\x00\x00\x00\x00"s, 8, std::nullopt, ""},
        {"refused, invalid name", false, "\x07\x00\x00\x00\x00"s, 7, std::nullopt, ""},
        {"refused, same login", false, "\x06\x00\x00\x00\x00"s, 6, std::nullopt, ""},
        {"refused, old version", false, "\x09\x00\x00\x00\x00"s, 9, std::nullopt, ""},
        {"refused with code 0", false, "\x00\x00\x00\x00\x00"s, 4, std::nullopt, std::nullopt},
        {"refused without data", false, std::nullopt, 4, std::nullopt, std::nullopt},
        {"refused, corrupt", false, "\x08\x00\x00\x09\x00" "short"s, 4, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto* data = c.reply ? reinterpret_cast<const std::uint8_t*>(c.reply->data()) : nullptr;
        const auto out = lobby::EvaluateLoginReply(c.succeeded, data, c.reply ? c.reply->size() : 0);
        EXPECT_EQ(out.Code, c.code) << c.name;
        EXPECT_EQ(out.LoginName, c.loginName) << c.name;
        EXPECT_EQ(out.ReasonText, c.reason) << c.name;
    }
}

TEST(LobbyRoom, UpdatesInPlaceRemovesEveryExactDuplicateAndMindsCase) {
    std::vector<TRoomPlayer> players;
    ApplyRoomMessage(players, {{}, {{1, 0, "ANN"}, {2, 0, "BOB"}, {3, 0, "abc"}}});
    ApplyRoomMessage(players, {{}, {{9, 1, "BOB"}, {4, 0, "ABC"}}});
    ASSERT_EQ(players.size(), 4u);
    EXPECT_EQ(players[1].Name, "BOB");
    EXPECT_EQ(players[1].Rank, 9);
    EXPECT_EQ(players[1].Status, 1);
    EXPECT_EQ(players[3].Name, "ABC");
    // Duplicates can only come from a server; a removal takes them all.
    players.push_back({"ANN", 0, 0});
    ApplyRoomMessage(players, {{"ANN", "abc"}, {}});
    ASSERT_EQ(players.size(), 2u);
    EXPECT_EQ(players[0].Name, "BOB");
    EXPECT_EQ(players[1].Name, "ABC");
}

TEST(LobbyNames, NicknameRule) {
    struct Case {
        std::string name;
        bool valid;
    } cases[] = {
        {"AB", false},
        {"ABC", true},
        {" ABC", false},
        {"ABC ", false},
        {"AB C", true},
        {"A<BC", false},
        {"A>BC", false},
        {"A:BC", false},
        {"A\"BC", false},
        {"A'BC", false},
        {"AB\tC", false},
        {std::string("AB") + static_cast<char>(200) + "C", false},
        {std::string("AB") + static_cast<char>(127) + "C", true},
        {std::string(15, 'Z'), true},
        {std::string(16, 'Z'), false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidNickname(c.name), c.valid) << "[" << c.name << "]";
}

TEST(LobbyNames, ReasonTextsAndLogInKeys) {
    test::TLobbyFolders folders;
    EXPECT_EQ(ReasonToText(0), "Success");
    EXPECT_EQ(ReasonToText(4), "Client provided invalid data");
    EXPECT_EQ(ReasonToText(8), "Name already exists, please insert a different one");
    EXPECT_EQ(ReasonToText(9), "Sorry, you need to download the latest version");
    EXPECT_EQ(ReasonToText(12), "Unknown result");
    EXPECT_EQ(ReasonToText(-1), "Unknown result");

    std::set<std::string> keys;
    for (int i = 0; i < 20; ++i) {
        const std::string key = NewLoginKey();
        EXPECT_TRUE(std::regex_match(key, std::regex("^[0-9A-F]{32}$"))) << key;
        keys.insert(key);
    }
    EXPECT_EQ(keys.size(), 20u);
}

}  // namespace
}  // namespace qv
