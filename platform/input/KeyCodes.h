// DirectInput key codes and the map from SDL scancodes to them.
//
// A DirectInput key code names a key by its place on the keyboard (the PC
// set-1 scan code, with 0x80 added for the extended keys), not by what it
// types. SDL scancodes are places too, so the map is fixed: on an AZERTY
// keyboard the key labelled A reports DIK_Q, as it always has.
#pragma once

#include <cstdint>
#include <span>

namespace qv::dinput {

inline constexpr std::uint8_t DIK_ESCAPE = 0x01;
inline constexpr std::uint8_t DIK_1 = 0x02;
inline constexpr std::uint8_t DIK_2 = 0x03;
inline constexpr std::uint8_t DIK_3 = 0x04;
inline constexpr std::uint8_t DIK_4 = 0x05;
inline constexpr std::uint8_t DIK_5 = 0x06;
inline constexpr std::uint8_t DIK_6 = 0x07;
inline constexpr std::uint8_t DIK_7 = 0x08;
inline constexpr std::uint8_t DIK_8 = 0x09;
inline constexpr std::uint8_t DIK_9 = 0x0A;
inline constexpr std::uint8_t DIK_0 = 0x0B;
inline constexpr std::uint8_t DIK_MINUS = 0x0C;
inline constexpr std::uint8_t DIK_EQUALS = 0x0D;
inline constexpr std::uint8_t DIK_BACK = 0x0E;
inline constexpr std::uint8_t DIK_TAB = 0x0F;
inline constexpr std::uint8_t DIK_Q = 0x10;
inline constexpr std::uint8_t DIK_W = 0x11;
inline constexpr std::uint8_t DIK_E = 0x12;
inline constexpr std::uint8_t DIK_R = 0x13;
inline constexpr std::uint8_t DIK_T = 0x14;
inline constexpr std::uint8_t DIK_Y = 0x15;
inline constexpr std::uint8_t DIK_U = 0x16;
inline constexpr std::uint8_t DIK_I = 0x17;
inline constexpr std::uint8_t DIK_O = 0x18;
inline constexpr std::uint8_t DIK_P = 0x19;
inline constexpr std::uint8_t DIK_LBRACKET = 0x1A;
inline constexpr std::uint8_t DIK_RBRACKET = 0x1B;
inline constexpr std::uint8_t DIK_RETURN = 0x1C;
inline constexpr std::uint8_t DIK_LCONTROL = 0x1D;
inline constexpr std::uint8_t DIK_A = 0x1E;
inline constexpr std::uint8_t DIK_S = 0x1F;
inline constexpr std::uint8_t DIK_D = 0x20;
inline constexpr std::uint8_t DIK_F = 0x21;
inline constexpr std::uint8_t DIK_G = 0x22;
inline constexpr std::uint8_t DIK_H = 0x23;
inline constexpr std::uint8_t DIK_J = 0x24;
inline constexpr std::uint8_t DIK_K = 0x25;
inline constexpr std::uint8_t DIK_L = 0x26;
inline constexpr std::uint8_t DIK_SEMICOLON = 0x27;
inline constexpr std::uint8_t DIK_APOSTROPHE = 0x28;
inline constexpr std::uint8_t DIK_GRAVE = 0x29;
inline constexpr std::uint8_t DIK_LSHIFT = 0x2A;
inline constexpr std::uint8_t DIK_BACKSLASH = 0x2B;
inline constexpr std::uint8_t DIK_Z = 0x2C;
inline constexpr std::uint8_t DIK_X = 0x2D;
inline constexpr std::uint8_t DIK_C = 0x2E;
inline constexpr std::uint8_t DIK_V = 0x2F;
inline constexpr std::uint8_t DIK_B = 0x30;
inline constexpr std::uint8_t DIK_N = 0x31;
inline constexpr std::uint8_t DIK_M = 0x32;
inline constexpr std::uint8_t DIK_COMMA = 0x33;
inline constexpr std::uint8_t DIK_PERIOD = 0x34;
inline constexpr std::uint8_t DIK_SLASH = 0x35;
inline constexpr std::uint8_t DIK_RSHIFT = 0x36;
inline constexpr std::uint8_t DIK_MULTIPLY = 0x37;
inline constexpr std::uint8_t DIK_LMENU = 0x38;
inline constexpr std::uint8_t DIK_SPACE = 0x39;
inline constexpr std::uint8_t DIK_CAPITAL = 0x3A;
inline constexpr std::uint8_t DIK_F1 = 0x3B;
inline constexpr std::uint8_t DIK_F2 = 0x3C;
inline constexpr std::uint8_t DIK_F3 = 0x3D;
inline constexpr std::uint8_t DIK_F4 = 0x3E;
inline constexpr std::uint8_t DIK_F5 = 0x3F;
inline constexpr std::uint8_t DIK_F6 = 0x40;
inline constexpr std::uint8_t DIK_F7 = 0x41;
inline constexpr std::uint8_t DIK_F8 = 0x42;
inline constexpr std::uint8_t DIK_F9 = 0x43;
inline constexpr std::uint8_t DIK_F10 = 0x44;
inline constexpr std::uint8_t DIK_NUMLOCK = 0x45;
inline constexpr std::uint8_t DIK_SCROLL = 0x46;
inline constexpr std::uint8_t DIK_NUMPAD7 = 0x47;
inline constexpr std::uint8_t DIK_NUMPAD8 = 0x48;
inline constexpr std::uint8_t DIK_NUMPAD9 = 0x49;
inline constexpr std::uint8_t DIK_SUBTRACT = 0x4A;
inline constexpr std::uint8_t DIK_NUMPAD4 = 0x4B;
inline constexpr std::uint8_t DIK_NUMPAD5 = 0x4C;
inline constexpr std::uint8_t DIK_NUMPAD6 = 0x4D;
inline constexpr std::uint8_t DIK_ADD = 0x4E;
inline constexpr std::uint8_t DIK_NUMPAD1 = 0x4F;
inline constexpr std::uint8_t DIK_NUMPAD2 = 0x50;
inline constexpr std::uint8_t DIK_NUMPAD3 = 0x51;
inline constexpr std::uint8_t DIK_NUMPAD0 = 0x52;
inline constexpr std::uint8_t DIK_DECIMAL = 0x53;
inline constexpr std::uint8_t DIK_OEM_102 = 0x56;
inline constexpr std::uint8_t DIK_F11 = 0x57;
inline constexpr std::uint8_t DIK_F12 = 0x58;
inline constexpr std::uint8_t DIK_F13 = 0x64;
inline constexpr std::uint8_t DIK_F14 = 0x65;
inline constexpr std::uint8_t DIK_F15 = 0x66;
inline constexpr std::uint8_t DIK_KANA = 0x70;
inline constexpr std::uint8_t DIK_ABNT_C1 = 0x73;
inline constexpr std::uint8_t DIK_CONVERT = 0x79;
inline constexpr std::uint8_t DIK_NOCONVERT = 0x7B;
inline constexpr std::uint8_t DIK_YEN = 0x7D;
inline constexpr std::uint8_t DIK_NUMPADEQUALS = 0x8D;
inline constexpr std::uint8_t DIK_PREVTRACK = 0x90;
inline constexpr std::uint8_t DIK_STOP = 0x95;
inline constexpr std::uint8_t DIK_NEXTTRACK = 0x99;
inline constexpr std::uint8_t DIK_NUMPADENTER = 0x9C;
inline constexpr std::uint8_t DIK_RCONTROL = 0x9D;
inline constexpr std::uint8_t DIK_MUTE = 0xA0;
inline constexpr std::uint8_t DIK_CALCULATOR = 0xA1;
inline constexpr std::uint8_t DIK_PLAYPAUSE = 0xA2;
inline constexpr std::uint8_t DIK_MEDIASTOP = 0xA4;
inline constexpr std::uint8_t DIK_VOLUMEDOWN = 0xAE;
inline constexpr std::uint8_t DIK_VOLUMEUP = 0xB0;
inline constexpr std::uint8_t DIK_WEBHOME = 0xB2;
inline constexpr std::uint8_t DIK_NUMPADCOMMA = 0xB3;
inline constexpr std::uint8_t DIK_DIVIDE = 0xB5;
inline constexpr std::uint8_t DIK_SYSRQ = 0xB7;
inline constexpr std::uint8_t DIK_RMENU = 0xB8;
inline constexpr std::uint8_t DIK_PAUSE = 0xC5;
inline constexpr std::uint8_t DIK_HOME = 0xC7;
inline constexpr std::uint8_t DIK_UP = 0xC8;
inline constexpr std::uint8_t DIK_PRIOR = 0xC9;
inline constexpr std::uint8_t DIK_LEFT = 0xCB;
inline constexpr std::uint8_t DIK_RIGHT = 0xCD;
inline constexpr std::uint8_t DIK_END = 0xCF;
inline constexpr std::uint8_t DIK_DOWN = 0xD0;
inline constexpr std::uint8_t DIK_NEXT = 0xD1;
inline constexpr std::uint8_t DIK_INSERT = 0xD2;
inline constexpr std::uint8_t DIK_DELETE = 0xD3;
inline constexpr std::uint8_t DIK_LWIN = 0xDB;
inline constexpr std::uint8_t DIK_RWIN = 0xDC;
inline constexpr std::uint8_t DIK_APPS = 0xDD;
inline constexpr std::uint8_t DIK_POWER = 0xDE;
inline constexpr std::uint8_t DIK_SLEEP = 0xDF;
inline constexpr std::uint8_t DIK_WEBSEARCH = 0xE5;
inline constexpr std::uint8_t DIK_WEBFAVORITES = 0xE6;
inline constexpr std::uint8_t DIK_WEBREFRESH = 0xE7;
inline constexpr std::uint8_t DIK_WEBSTOP = 0xE8;
inline constexpr std::uint8_t DIK_WEBFORWARD = 0xE9;
inline constexpr std::uint8_t DIK_WEBBACK = 0xEA;
inline constexpr std::uint8_t DIK_MYCOMPUTER = 0xEB;
inline constexpr std::uint8_t DIK_MAIL = 0xEC;
inline constexpr std::uint8_t DIK_MEDIASELECT = 0xED;

// One entry of the map: an SDL scancode and its DirectInput key code.
struct TScancodeKey {
    int Scancode;
    std::uint8_t Key;
};

// Every mapped key; no scancode and no key code appears twice.
std::span<const TScancodeKey> ScancodeKeyMap();

// The key code of an SDL scancode; 0 for a key DirectInput has no code for.
std::uint8_t KeyFromScancode(int scancode);
// The SDL scancode of a key code; 0 (SDL_SCANCODE_UNKNOWN) when unmapped.
int ScancodeFromKey(std::uint8_t key);

}  // namespace qv::dinput
