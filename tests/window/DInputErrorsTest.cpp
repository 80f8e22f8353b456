// The keyboard library's check and raise routines, its log lines, and the
// failures of setting the keyboard up.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/TextUtil.h"
#include "foundation/qv3Log.h"
#include "media/zkDInput.h"
#include "platform/system/Files.h"
#include "tests/support/TempDir.h"

namespace qv {
namespace {

using namespace dinput;

class TLog {
public:
    TLog() { SetLogFile(dir_ / "quorvex.log"); }
    ~TLog() { SetLogFile(""); }
    std::vector<std::string> Lines() const {
        return SplitLines(sys::ReadFileText(dir_ / "quorvex.log").value_or(""));
    }

private:
    test::TempDir dir_;
};

TEST(DIErrors, SuccessesPassSilently) {
    TLog log;
    for (HRESULT r : {DI_OK, DI_NOEFFECT, MakeResult(0x7FFFFFFFu)}) EXPECT_NO_THROW(DICheck(r, kDICreateFailed, "x"));
    EXPECT_TRUE(log.Lines().empty());
}

TEST(DIErrors, FailuresAreLoggedOnceAndRaised) {
    const struct {
        std::uint32_t result;
        std::uint32_t own;
        const char* context;
        const char* line;
        const char* message;
    } cases[] = {
        {0x8007001Eu, kDICreateKeyboardFailed, "CreateDevice",
         "* Msg 81060009: DI $8007001E: Access to the input device has been lost. It must be reacquired. - Failed to "
         "create keyboard device CreateDevice",
         "Failed to create keyboard device"},
        {0x80070057u, kDISetKeyboardFormatFailed, "SetDataFormat",
         "* Msg 8106000A: DI $80070057: A parameter passed to the input device is not valid. - Failed to set keyboard "
         "format SetDataFormat",
         "Failed to set keyboard format"},
        {0x80001234u, 0x81069999u, "",
         "* Msg 81069999: DI $80001234: Unrecognized Error - Unrecognized Error ", "Unrecognized Error"},
        // Without an own code the result's text is the message, logged under
        // the result.
        {0x8007001Eu, 0, "",
         "* Msg 8007001E: Access to the input device has been lost. It must be reacquired. ",
         "Access to the input device has been lost. It must be reacquired."},
        {0x8007000Cu, 0, "reading", "* Msg 8007000C: The input device is not acquired. reading",
         "The input device is not acquired."},
    };
    for (const auto& c : cases) {
        TLog log;
        try {
            DICheck(MakeResult(c.result), c.own, c.context);
            ADD_FAILURE() << "no exception";
        } catch (const EDirectInputError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
            EXPECT_EQ(e.ErrorCode, c.result);
        }
        EXPECT_EQ(log.Lines(), std::vector<std::string>{c.line});
    }
}

TEST(DIErrors, OwnTexts) {
    const char* texts[] = {
        "Direct Input 8 not installed",    "Failed to create Direct Input 8", "Failed to create mouse device",
        "Failed to set mouse format",      "Failed to set cooperative level", "Failed to get buffer size",
        "Failed to set buffer size",       "Index out of bounds",             "Failed to create keyboard device",
        "Failed to set keyboard format",
    };
    for (std::uint32_t i = 0; i < 10; ++i) EXPECT_EQ(DIOwnErrorText(0x81060001u + i), texts[i]);
    for (std::uint32_t code : {0u, 0x81060000u, 0x8106000Bu, 0x81000001u}) EXPECT_EQ(DIOwnErrorText(code), "Unrecognized Error");
    EXPECT_EQ(DIResultText(0x8007001Eu), "Access to the input device has been lost. It must be reacquired.");
    EXPECT_EQ(DIResultText(0x88760868u), "Unrecognized Error");
}

TEST(DIErrors, RaiseLogsTheOwnTextAndThrowsAPlainException) {
    TLog log;
    try {
        DIRaiseError(kDIIndexOutOfBounds, "7");
        ADD_FAILURE() << "no exception";
    } catch (const EDirectInputError&) {
        ADD_FAILURE() << "a plain exception was expected";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Index out of bounds");
    }
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"* Msg 81060008: Index out of bounds (7)"});
}

// A DirectInput object whose calls give scripted results.
struct TScript {
    HRESULT create = DI_OK;
    bool createDelivers = true;
    HRESULT createDevice = DI_OK;
    HRESULT setDataFormat = DI_OK;
};

class TScriptedDevice final : public IDirectInputDevice8 {
public:
    explicit TScriptedDevice(const TScript& s) : script_(s) {}
    HRESULT SetDataFormat(const DIDATAFORMAT*) override { return script_.setDataFormat; }
    HRESULT SetCooperativeLevel(HWND, DWORD) override { return DIERR_UNSUPPORTED; }
    HRESULT Acquire() override { return DI_OK; }
    HRESULT Unacquire() override { return DI_OK; }
    HRESULT GetDeviceState(DWORD, void*) override { return DI_OK; }

private:
    TScript script_;
};

class TScriptedInput final : public IDirectInput8 {
public:
    explicit TScriptedInput(const TScript& s) : script_(s) {}
    HRESULT CreateDevice(const GUID& guid, std::unique_ptr<IDirectInputDevice8>* out) override {
        EXPECT_EQ(guid, GUID_SysKeyboard);
        if (Failed(script_.createDevice)) return script_.createDevice;
        *out = std::make_unique<TScriptedDevice>(script_);
        return DI_OK;
    }

private:
    TScript script_;
};

TDirectInput8Create Scripted(const TScript& s) {
    return [s](DWORD version, std::unique_ptr<IDirectInput8>* out) {
        EXPECT_EQ(version, 0x0800u);
        if (s.createDelivers) *out = std::make_unique<TScriptedInput>(s);
        return s.create;
    };
}

TEST(DISetUp, MissingDirectInputIsAPlainLoggedError) {
    TLog log;
    try {
        TzkDI8 di{TDirectInput8Create()};
        ADD_FAILURE() << "no exception";
    } catch (const EDirectInputError&) {
        ADD_FAILURE() << "a plain exception was expected";
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "Direct Input 8 not installed");
    }
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"* Msg 81060001: Direct Input 8 not installed"});
}

TEST(DISetUp, EachStepFailsWithItsOwnCodeAndContext) {
    const struct {
        const char* what;
        TScript script;
        bool realLayer;  // the real input layer, given a null window
        std::uint32_t result;
        const char* message;
        const char* line;
    } cases[] = {
        {"create", {DIERR_OUTOFMEMORY, false}, false, 0x8007000Eu, "Failed to create Direct Input 8",
         "* Msg 81060002: DI $8007000E: There is not enough memory for the input device. - Failed to create Direct "
         "Input 8 "},
        {"create says yes but gives nothing", {DI_OK, false}, false, 0x80004005u, "Failed to create Direct Input 8",
         "* Msg 81060002: DI $80004005: The input layer failed for an unknown reason. - Failed to create Direct "
         "Input 8 "},
        {"device", {DI_OK, true, DIERR_DEVICENOTREG}, false, 0x80040154u, "Failed to create keyboard device",
         "* Msg 81060009: DI $80040154: There is no such input device. - Failed to create keyboard device "
         "CreateDevice"},
        {"format", {DI_OK, true, DI_OK, DIERR_INVALIDPARAM}, false, 0x80070057u, "Failed to set keyboard format",
         "* Msg 8106000A: DI $80070057: A parameter passed to the input device is not valid. - Failed to set "
         "keyboard format SetDataFormat"},
        {"level", {}, true, 0x80070006u, "Failed to set cooperative level",
         "* Msg 81060005: DI $80070006: The window given for the input device is not valid. - Failed to set "
         "cooperative level SetCooperativeLevel"},
    };
    for (const auto& c : cases) {
        TLog log;
        try {
            TzkDI8 di = c.realLayer ? TzkDI8() : TzkDI8(Scripted(c.script));
            TzkDIKeyboard keyboard(&di, nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
            ADD_FAILURE() << c.what << ": no exception";
        } catch (const EDirectInputError& e) {
            EXPECT_EQ(std::string(e.what()), c.message) << c.what;
            EXPECT_EQ(e.ErrorCode, c.result) << c.what;
        }
        EXPECT_EQ(log.Lines(), std::vector<std::string>{c.line}) << c.what;
    }
}

TEST(DISetUp, TheKeyboardStartsUnacquired) {
    TWindowInput window;
    window.FocusEvent(true);
    TzkDI8 di;
    TzkDIKeyboard keyboard(&di, &window, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    EXPECT_FALSE(keyboard.Acquired);
    EXPECT_FALSE(keyboard.Lost);
    EXPECT_FALSE(window.ExclusivelyHeld());
    EXPECT_TRUE(window.PressKey(DIK_ESCAPE));
}

}  // namespace
}  // namespace qv
