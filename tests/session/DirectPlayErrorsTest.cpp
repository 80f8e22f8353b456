// The session wrappers' check and raise routines with their log lines, the
// send-flag mapping of both wrappers, and the GUID forms.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "foundation/TextUtil.h"
#include "foundation/qv3Log.h"
#include "media/zkDirectPlay.h"
#include "platform/session/Guid.h"
#include "platform/system/Files.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

using namespace dpn;

class TLog {
public:
    TLog() { SetLogFile(dir_ / "quorvex.log"); }
    ~TLog() { SetLogFile(""); }
    std::vector<std::string> Lines() const { return SplitLines(sys::ReadFileText(dir_ / "quorvex.log").value_or("")); }

private:
    test::TempDir dir_;
};

TEST(DPErrors, SuccessCodesPassSilently) {
    TLog log;
    for (HRESULT r : {DPN_OK, DPNSUCCESS_PENDING, MakeResult(1), MakeResult(0x7FFFFFFFu)})
        EXPECT_NO_THROW(DPCheck(r, kDPSendFailed, "x"));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(DPErrors, FailuresAreLoggedOnceAndRaised) {
    const struct {
        std::uint32_t result;
        std::uint32_t own;
        const char* context;
        const char* line;
        const char* message;
    } cases[] = {
        {0x80158470u, kDPSendFailed, "BufferSize=5 / TimeOut=0 / Flags=8",
         "* Msg 8105000C: D3D $80158470: The session object is not in a session. - Falied to send message to server "
         "BufferSize=5 / TimeOut=0 / Flags=8",
         "Falied to send message to server"},
        {0x80158370u, kDPEnumHostsFailed, "Flags=2",
         "* Msg 8105000B: D3D $80158370: The host address is not valid or cannot be used. - Failed to enumerate hosts "
         "Flags=2",
         "Failed to enumerate hosts"},
        {0x80001234u, 0x81059999u, "",
         "* Msg 81059999: D3D $80001234: Unrecognized Error - Unrecognized Error ", "Unrecognized Error"},
        // Without an own code the result's text is the message, logged under
        // the result.
        {0x80158510u, 0, "Connecting to server",
         "* Msg 80158510: The host did not answer. Connecting to server", "The host did not answer."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        TLog log;
        try {
            DPCheck(MakeResult(c.result), c.own, c.context);
            FAIL() << "no exception";
        } catch (const EDirectPlayError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
            EXPECT_EQ(e.ErrorCode, c.result);
        }
        EXPECT_EQ(log.Lines(), std::vector<std::string>{c.line});
    }
}

TEST(DPErrors, OwnTextsAndTheSuccessText) {
    EXPECT_EQ(DPOwnErrorText(kDPNotPresent), "DirectPlay8 isn't present on the system");
    EXPECT_EQ(DPOwnErrorText(kDPSendFailed), "Falied to send message to server");
    EXPECT_EQ(DPOwnErrorText(kDPGetAddressComponentFailed), "Failed to get address component by name");
    EXPECT_EQ(DPOwnErrorText(0x81050000u), "Unrecognized Error");
    EXPECT_EQ(DPOwnErrorText(0x81050017u), "Unrecognized Error");
    EXPECT_EQ(DPResultText(0), "The operation completed successfully.");
    EXPECT_EQ(DPResultText(0x80150001u), "Unrecognized Error");
}

TEST(DPErrors, RaiseErrorLogsTheOwnTextUnderItsCode) {
    TLog log;
    try {
        DPRaiseError(kDPNotPresent);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "DirectPlay8 isn't present on the system");
    }
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"* Msg 81050001: DirectPlay8 isn't present on the system"});
}

TEST(DPSendFlags, PeerAndClientSenses) {
    const struct {
        bool sync, noCopy, noComplete, completeOnProcess, guaranteed;
        int priority;
        bool noLoopback, nonSequential;
        DWORD flags;
    } cases[] = {
        {false, false, false, false, true, 1, false, false, DPNSEND_GUARANTEED},
        {false, false, true, false, false, 1, false, false, DPNSEND_NOCOMPLETE},
        {false, false, false, false, false, 0, false, false, DPNSEND_PRIORITY_LOW},
        {false, false, false, false, false, 2, false, false, DPNSEND_PRIORITY_HIGH},
        {false, false, false, false, false, -1, false, false, DPNSEND_PRIORITY_HIGH},
        {true, true, true, true, true, 1, true, true, 0x8000003Fu},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DPSendFlags(c.sync, c.noCopy, c.noComplete, c.completeOnProcess, c.guaranteed, c.priority,
                              c.noLoopback, c.nonSequential),
                  c.flags);
    // The client asks for copy, complete, loopback and sequential in the
    // positive: all of them with guaranteed, priority 1, async is exactly
    // the guaranteed flag (what the lobby sends with).
    const bool copy = true, complete = true, loopback = true, sequential = true;
    EXPECT_EQ(DPSendFlags(false, !copy, !complete, false, true, 1, !loopback, !sequential), DPNSEND_GUARANTEED);
}

TEST(Guid, WireBytesAndRegistryHexDifferInByteOrder) {
    const TGuid g = {0x5E6E0AC2u, 0x35B9u, 0x4AB0u, {0x95, 0x27, 0x09, 0xE0, 0x03, 0xA7, 0x9D, 0x95}};
    const std::array<std::uint8_t, 16> wire = {0xC2, 0x0A, 0x6E, 0x5E, 0xB9, 0x35, 0xB0, 0x4A,
                                               0x95, 0x27, 0x09, 0xE0, 0x03, 0xA7, 0x9D, 0x95};
    EXPECT_EQ(g.ToWireBytes(), wire);
    EXPECT_EQ(TGuid::FromWireBytes(wire), g);
    EXPECT_EQ(g.ToRegistryHex32(), "5E6E0AC235B94AB0952709E003A79D95");
    EXPECT_EQ(g.ToString(), "{5E6E0AC2-35B9-4AB0-9527-09E003A79D95}");
}

TEST(Guid, NewGuidsAreRandomVersion4) {
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        const TGuid g = NewGuid();
        EXPECT_EQ(g.Data3 >> 12, 4);
        EXPECT_EQ(g.Data4[0] & 0xC0, 0x80);
        seen.insert(g.ToRegistryHex32());
    }
    EXPECT_EQ(seen.size(), 100u);
}

}  // namespace
}  // namespace qv
