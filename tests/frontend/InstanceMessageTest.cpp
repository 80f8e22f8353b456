// The local socket's path rule and its record.
#include <gtest/gtest.h>

#include "platform/system/InstanceMessage.h"
#include "tests/support/TempDir.h"

namespace qv::sys {
namespace {

TEST(InstanceMessageTest, ThePathFollowsTheRuntimeFolder) {
    test::TempDir dir;
    std::string bare = dir.Path();
    while (bare.size() > 1 && bare.back() == '/') bare.pop_back();
    EXPECT_EQ(InstanceSocketPath(bare.c_str(), 1000), bare + "/Quorvex.sock");
    EXPECT_EQ(InstanceSocketPath((bare + "/").c_str(), 1000), bare + "/Quorvex.sock");
    EXPECT_EQ(InstanceSocketPath("", 1000), "/tmp/Quorvex-1000.sock");
    EXPECT_EQ(InstanceSocketPath(nullptr, 7), "/tmp/Quorvex-7.sock");
    // A runtime folder that does not exist: the same fallback as the lock's.
    EXPECT_EQ(InstanceSocketPath((dir / "missing").c_str(), 7), "/tmp/Quorvex-7.sock");
}

TEST(InstanceMessageTest, RecordsAreReadWholeOrNotAtAll) {
    const std::vector<std::uint8_t> installed = EncodeInstanceMessage({kScenarioInstalledMessage, {}});
    EXPECT_EQ(installed, (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    TInstanceMessage m;
    std::size_t used = 0;
    for (std::size_t cut = 0; cut < installed.size(); ++cut)
        EXPECT_EQ(ParseInstanceMessage(installed.data(), cut, m, used), TInstanceParse::Incomplete) << cut;
    ASSERT_EQ(ParseInstanceMessage(installed.data(), installed.size(), m, used), TInstanceParse::Complete);
    EXPECT_EQ(m.dwData, 1u);
    EXPECT_TRUE(m.Data.empty());
    EXPECT_EQ(used, 8u);

    std::vector<std::uint8_t> withData = EncodeInstanceMessage({0x01020304, {9, 8, 7}});
    withData.push_back(0xEE);  // the start of a next record stays unread
    ASSERT_EQ(ParseInstanceMessage(withData.data(), withData.size(), m, used), TInstanceParse::Complete);
    EXPECT_EQ(m.dwData, 0x01020304u);
    EXPECT_EQ(m.Data, (std::vector<std::uint8_t>{9, 8, 7}));
    EXPECT_EQ(used, 11u);

    // A data part beyond the limit is refused before anything is read.
    const std::vector<std::uint8_t> huge = {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(ParseInstanceMessage(huge.data(), huge.size(), m, used), TInstanceParse::Bad);
}

}  // namespace
}  // namespace qv::sys
