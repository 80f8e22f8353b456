#include <gtest/gtest.h>

#include "media/zkD3DErrors.h"
#include "platform/render/D3D8.h"
#include "tests/render/RenderTestSupport.h"

namespace qv {

namespace {

using test::TLogCapture;

TEST(D3DCheckTest, NonFailingResultsDoNothing) {
    TLogCapture log;
    for (d3d::HRESULT hr : {0, 1, 0x7FFFFFFF}) EXPECT_NO_THROW(D3DCheck(hr, kD3DCreateTextureFailed, "x"));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(D3DCheckTest, FailuresLogOneLineAndCarryTheDirect3DResult) {
    struct Case {
        std::uint32_t result;
        std::uint32_t own;
        const char* context;
        const char* line;
        const char* message;
    };
    const Case cases[] = {
        {0x8876017C, kD3DCreateTextureFailed, "256;256;A8R8G8B8",
         "* Msg 81000003: D3D $8876017C: Direct3D does not have enough display memory to perform the operation. - "
         "Failed to create texture 256;256;A8R8G8B8",
         "Failed to create texture"},
        {0x88760827, 0, "present", "* Msg 88760827: Internal driver error. present", "Internal driver error."},
        {0x8876086C, 0x81000099, "", "* Msg 81000099: D3D $8876086C: The method call is invalid. For example, a "
                                     "method's parameter may have an invalid value. - Unrecognized Error ",
         "Unrecognized Error"},
        {0x80001234, kD3DCreateDeviceFailed, "ctx",
         "* Msg 8100000A: D3D $80001234: Unknown Error - Failed to create device ctx", "Failed to create device"},
        {0x80001234, 0, "ctx", "* Msg 80001234: Unknown Error ctx", "Unknown Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        TLogCapture log;
        try {
            D3DCheck(d3d::MakeResult(c.result), c.own, c.context);
            ADD_FAILURE() << "no exception";
        } catch (const EDirect3DError& e) {
            EXPECT_STREQ(e.what(), c.message);
            EXPECT_EQ(e.ErrorCode, c.result);
        }
        EXPECT_EQ(log.Lines(), std::vector<std::string>{c.line});
    }
}

TEST(D3DCheckTest, PlatformDetailJoinsTheContextOnce) {
    TLogCapture log;
    d3d::SetLastErrorDetail("SDL: out of luck");
    EXPECT_THROW(D3DCheck(d3d::D3DERR_NOTAVAILABLE, kD3DCreateDeviceFailed, ""), EDirect3DError);
    d3d::SetLastErrorDetail("SDL: stale");
    D3DCheck(d3d::D3D_OK, 0, "fine");  // a success drops a detail of an earlier call
    EXPECT_THROW(D3DCheck(d3d::D3DERR_INVALIDCALL, 0, "draw"), EDirect3DError);
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "* Msg 8100000A: D3D $8876086A: This device does not support the queried technique. - Failed to create "
              "device (SDL: out of luck)");
    EXPECT_EQ(lines[1].find("stale"), std::string::npos);
}

TEST(D3DRaiseErrorTest, ThrowsAPlainExceptionWithTheOwnText) {
    TLogCapture log;
    try {
        D3DRaiseError(kD3DTooManyModes, "adapter 0");
        FAIL();
    } catch (const EDirect3DError&) {
        FAIL() << "the raise routine throws the plain exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Too many modes");
    }
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"* Msg 81000008: Too many modes (adapter 0)"});
}

TEST(D3DTextsTest, OwnAndResultTables) {
    EXPECT_EQ(OwnErrorText(0x81000001), "Format not supported");
    EXPECT_EQ(OwnErrorText(0x8100000B), "Too many simultaneous quads on end scene");
    EXPECT_EQ(OwnErrorText(0x81000014),
              "DirectX 8 Runtime not installed, you have DirectX 8 SDK installed instead.");
    for (std::uint32_t code : {0u, 0x81000000u, 0x81000015u, 0x81010001u})
        EXPECT_EQ(OwnErrorText(code), "Unrecognized Error") << code;
    EXPECT_EQ(D3DResultText(0), "No error occurred.");
    EXPECT_EQ(D3DResultText(0x8876081D),
              "The application is requesting more texture-filtering operations than the device");
    EXPECT_EQ(D3DResultText(0x88760869), "The device cannot be reset.");
    EXPECT_EQ(D3DResultText(0x88760820), "Unknown Error");
}

TEST(D3DFormatToStringTest, NamesFourCodesAndTheRest) {
    const std::pair<std::uint32_t, const char*> cases[] = {
        {20, "R8G8B8"},  {22, "X8R8G8B8"}, {30, "X4R4G4B4"}, {41, "P8"},        {52, "A4L4"},
        {65, "W11V11U10"}, {70, "D16_LOCKABLE"}, {79, "D24X4S4"}, {80, "D16"}, {102, "INDEX32"},
        {0x7FFFFFFF, "FORCE_DWORD"}, {0x33545844, "DXT3"}, {0x32595559, "YUY2"}, {0x59565955, "UYVY"},
        {0, "Unknown"},  {31, "Invalid"}, {72, "Invalid"}, {0x36545844, "Invalid"},
    };
    for (const auto& [format, name] : cases) EXPECT_EQ(D3DFormatToString(format), name) << format;
}

}  // namespace

}  // namespace qv
