#include "platform/window/VirtualKeys.h"

#include <SDL_keycode.h>
#include <SDL_scancode.h>

namespace qv::win {

namespace {

// Keys that mean the same on every layout, by keycode.
int NamedKey(SDL_Keycode k) {
    switch (k) {
        case SDLK_BACKSPACE: return VK_BACK;
        case SDLK_TAB: return VK_TAB;
        case SDLK_RETURN: return VK_RETURN;
        case SDLK_KP_ENTER: return VK_RETURN;
        case SDLK_ESCAPE: return VK_ESCAPE;
        case SDLK_SPACE: return VK_SPACE;
        case SDLK_LSHIFT: case SDLK_RSHIFT: return VK_SHIFT;
        case SDLK_LCTRL: case SDLK_RCTRL: return VK_CONTROL;
        case SDLK_LALT: case SDLK_RALT: return VK_MENU;
        case SDLK_PAUSE: return VK_PAUSE;
        case SDLK_CAPSLOCK: return VK_CAPITAL;
        case SDLK_PAGEUP: return VK_PRIOR;
        case SDLK_PAGEDOWN: return VK_NEXT;
        case SDLK_END: return VK_END;
        case SDLK_HOME: return VK_HOME;
        case SDLK_LEFT: return VK_LEFT;
        case SDLK_UP: return VK_UP;
        case SDLK_RIGHT: return VK_RIGHT;
        case SDLK_DOWN: return VK_DOWN;
        case SDLK_PRINTSCREEN: return VK_SNAPSHOT;
        case SDLK_INSERT: return VK_INSERT;
        case SDLK_DELETE: return VK_DELETE;
        case SDLK_LGUI: return VK_LWIN;
        case SDLK_RGUI: return VK_RWIN;
        case SDLK_APPLICATION: return VK_APPS;
        case SDLK_SLEEP: return VK_SLEEP;
        case SDLK_KP_0: return VK_NUMPAD0;
        case SDLK_KP_1: return VK_NUMPAD0 + 1;
        case SDLK_KP_2: return VK_NUMPAD0 + 2;
        case SDLK_KP_3: return VK_NUMPAD0 + 3;
        case SDLK_KP_4: return VK_NUMPAD0 + 4;
        case SDLK_KP_5: return VK_NUMPAD0 + 5;
        case SDLK_KP_6: return VK_NUMPAD0 + 6;
        case SDLK_KP_7: return VK_NUMPAD0 + 7;
        case SDLK_KP_8: return VK_NUMPAD0 + 8;
        case SDLK_KP_9: return VK_NUMPAD0 + 9;
        case SDLK_KP_MULTIPLY: return VK_MULTIPLY;
        case SDLK_KP_PLUS: return VK_ADD;
        case SDLK_KP_COMMA: return VK_SEPARATOR;
        case SDLK_KP_MINUS: return VK_SUBTRACT;
        case SDLK_KP_PERIOD: return VK_DECIMAL;
        case SDLK_KP_DIVIDE: return VK_DIVIDE;
        case SDLK_NUMLOCKCLEAR: return VK_NUMLOCK;
        case SDLK_SCROLLLOCK: return VK_SCROLL;
        default: break;
    }
    if (k >= SDLK_F1 && k <= SDLK_F12) return VK_F1 + (k - SDLK_F1);
    if (k >= SDLK_F13 && k <= SDLK_F24) return VK_F1 + 12 + (k - SDLK_F13);
    return 0;
}

// Punctuation by the character it types.
int PunctuationKey(SDL_Keycode k) {
    switch (k) {
        case SDLK_SEMICOLON: return VK_OEM_1;
        case SDLK_EQUALS: return VK_OEM_PLUS;
        case SDLK_COMMA: return VK_OEM_COMMA;
        case SDLK_MINUS: return VK_OEM_MINUS;
        case SDLK_PERIOD: return VK_OEM_PERIOD;
        case SDLK_SLASH: return VK_OEM_2;
        case SDLK_BACKQUOTE: return VK_OEM_3;
        case SDLK_LEFTBRACKET: return VK_OEM_4;
        case SDLK_BACKSLASH: return VK_OEM_5;
        case SDLK_RIGHTBRACKET: return VK_OEM_6;
        case SDLK_QUOTE: return VK_OEM_7;
        default: return 0;
    }
}

// A key that types nothing we know, by its place on a US keyboard.
int PlaceKey(int s) {
    if (s >= SDL_SCANCODE_A && s <= SDL_SCANCODE_Z) return 'A' + (s - SDL_SCANCODE_A);
    switch (s) {
        case SDL_SCANCODE_SEMICOLON: return VK_OEM_1;
        case SDL_SCANCODE_EQUALS: return VK_OEM_PLUS;
        case SDL_SCANCODE_COMMA: return VK_OEM_COMMA;
        case SDL_SCANCODE_MINUS: return VK_OEM_MINUS;
        case SDL_SCANCODE_PERIOD: return VK_OEM_PERIOD;
        case SDL_SCANCODE_SLASH: return VK_OEM_2;
        case SDL_SCANCODE_GRAVE: return VK_OEM_3;
        case SDL_SCANCODE_LEFTBRACKET: return VK_OEM_4;
        case SDL_SCANCODE_BACKSLASH: return VK_OEM_5;
        case SDL_SCANCODE_RIGHTBRACKET: return VK_OEM_6;
        case SDL_SCANCODE_APOSTROPHE: return VK_OEM_7;
        case SDL_SCANCODE_NONUSBACKSLASH: return VK_OEM_102;
        default: return 0;
    }
}

}  // namespace

int VirtualKeyFromSdl(std::int32_t keycode, int scancode) {
    if (keycode >= 'a' && keycode <= 'z') return 'A' + (keycode - 'a');
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return '0';
    if (keycode >= '0' && keycode <= '9') return keycode;
    if (const int vk = NamedKey(keycode)) return vk;
    if (const int vk = PunctuationKey(keycode)) return vk;
    return PlaceKey(scancode);
}

}  // namespace qv::win
