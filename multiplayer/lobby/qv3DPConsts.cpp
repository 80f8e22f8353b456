#include "multiplayer/lobby/qv3DPConsts.h"

#include "foundation/TextUtil.h"
#include "foundation/qv3Language.h"

namespace qv {

bool IsValidNickname(std::string_view name) {
    if (name.size() < 3 || name.size() > kLobbyAliasMax) return false;
    const auto blankOrControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    if (blankOrControl(name.front()) || blankOrControl(name.back())) return false;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 32 || c >= 128) return false;
        if (c == '"' || c == '\'' || c == ':' || c == '<' || c == '>') return false;
    }
    return true;
}

std::string ReasonToText(int code) {
    if (code >= 0 && code <= 9) return LangText(367 + code);
    return LangText(377);
}

std::string NewLoginKey() { return NewGuid().ToRegistryHex32(); }

}  // namespace qv
