// The fixed maps from SDL keys to DirectInput key codes (by place) and to
// virtual-key codes (by meaning).
#include <SDL_keyboard.h>
#include <gtest/gtest.h>

#include <set>

#include "platform/input/KeyCodes.h"
#include "platform/window/VirtualKeys.h"

namespace qv {
namespace {

using namespace dinput;

struct TPlace {
    SDL_Scancode scancode;
    int key;
};

TEST(KeyMap, TheGameKeysHaveTheirDirectInputCodes) {
    const TPlace cases[] = {
        {SDL_SCANCODE_ESCAPE, 1}, {SDL_SCANCODE_R, 19},     {SDL_SCANCODE_T, 20},
        {SDL_SCANCODE_P, 25},     {SDL_SCANCODE_LCTRL, 29}, {SDL_SCANCODE_A, 30},
        {SDL_SCANCODE_Z, 44},     {SDL_SCANCODE_SPACE, 57}, {SDL_SCANCODE_RCTRL, 157},
        // Keys whose set-1 code carries the extended bit.
        {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RALT, 0xB8}, {SDL_SCANCODE_UP, 0xC8},
        {SDL_SCANCODE_KP_DIVIDE, 0xB5}, {SDL_SCANCODE_RETURN, 0x1C}, {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    };
    for (const TPlace& c : cases) {
        EXPECT_EQ(KeyFromScancode(c.scancode), c.key) << SDL_GetScancodeName(c.scancode);
        EXPECT_EQ(ScancodeFromKey(static_cast<std::uint8_t>(c.key)), c.scancode) << c.key;
    }
}

TEST(KeyMap, EveryKeyAndScancodeAppearsOnceAndRoundTrips) {
    std::set<int> scancodes, keys;
    for (const TScancodeKey& e : ScancodeKeyMap()) {
        EXPECT_GT(e.Scancode, 0);
        EXPECT_LT(e.Scancode, SDL_NUM_SCANCODES);
        EXPECT_NE(e.Key, 0);
        EXPECT_TRUE(scancodes.insert(e.Scancode).second) << "scancode " << e.Scancode << " twice";
        EXPECT_TRUE(keys.insert(e.Key).second) << "key " << int(e.Key) << " twice";
        EXPECT_EQ(KeyFromScancode(e.Scancode), e.Key);
        EXPECT_EQ(ScancodeFromKey(e.Key), e.Scancode);
    }
    EXPECT_GE(keys.size(), 100u);
}

TEST(KeyMap, UnmappedAndOutOfRangeScancodesGiveNoKey) {
    for (int scancode : {int(SDL_SCANCODE_UNKNOWN), -1, int(SDL_SCANCODE_APP2), int(SDL_NUM_SCANCODES), 100000})
        EXPECT_EQ(KeyFromScancode(scancode), 0) << scancode;
    for (int key : {0x00, 0x54, 0x59, 0xFF}) EXPECT_EQ(ScancodeFromKey(static_cast<std::uint8_t>(key)), 0) << key;
}

struct TMeaning {
    const char* what;
    SDL_Keycode keycode;
    SDL_Scancode scancode;
    int vk;
};

TEST(VirtualKeys, FollowTheLayoutForLettersAndThePlaceForDigits) {
    const TMeaning cases[] = {
        {"a on QWERTY", SDLK_a, SDL_SCANCODE_A, 'A'},
        {"p", SDLK_p, SDL_SCANCODE_P, 80},
        {"z", SDLK_z, SDL_SCANCODE_Z, 'Z'},
        {"a on AZERTY (the Q place)", SDLK_a, SDL_SCANCODE_Q, 'A'},
        {"q on AZERTY (the A place)", SDLK_q, SDL_SCANCODE_A, 'Q'},
        {"AZERTY digit row types &", SDLK_AMPERSAND, SDL_SCANCODE_1, '1'},
        {"AZERTY digit row types a-grave", 0xE0, SDL_SCANCODE_0, '0'},
        {"digit 5", SDLK_5, SDL_SCANCODE_5, '5'},
        {"Cyrillic letter at the F place", 0x0430, SDL_SCANCODE_F, 'F'},
        {"Backspace", SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, 8},
        {"Tab", SDLK_TAB, SDL_SCANCODE_TAB, 9},
        {"Return", SDLK_RETURN, SDL_SCANCODE_RETURN, 13},
        {"keypad Enter", SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, 13},
        {"Escape", SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, 27},
        {"Space", SDLK_SPACE, SDL_SCANCODE_SPACE, 32},
        {"left Ctrl", SDLK_LCTRL, SDL_SCANCODE_LCTRL, 17},
        {"right Shift", SDLK_RSHIFT, SDL_SCANCODE_RSHIFT, 16},
        {"Up", SDLK_UP, SDL_SCANCODE_UP, 38},
        {"keypad 7", SDLK_KP_7, SDL_SCANCODE_KP_7, 103},
        {"F1", SDLK_F1, SDL_SCANCODE_F1, 112},
        {"F12", SDLK_F12, SDL_SCANCODE_F12, 123},
        {"F13", SDLK_F13, SDL_SCANCODE_F13, 124},
        {"semicolon", SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, 0xBA},
        {"ISO extra key", 0x3C /* < */, SDL_SCANCODE_NONUSBACKSLASH, 0xE2},
        {"a key with no virtual key", SDLK_AUDIONEXT, SDL_SCANCODE_AUDIONEXT, 0},
    };
    for (const TMeaning& c : cases) EXPECT_EQ(win::VirtualKeyFromSdl(c.keycode, c.scancode), c.vk) << c.what;
}

}  // namespace
}  // namespace qv
