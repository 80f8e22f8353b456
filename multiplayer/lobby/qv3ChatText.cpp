#include "multiplayer/lobby/qv3ChatText.h"

#include "foundation/TextUtil.h"
#include "foundation/qv3Language.h"

namespace qv {

const char* const kChatStyleSheet =
    "BODY  {font-family : Arial, Helvetica, sans-serif; font-size : x-small;}TABLE  {font-family : Arial, Helvetica, "
    "sans-serif; font-size : x-small;}.alias {color: Blue; font-weight: bold}.aliaspriv {color: Red; font-weight: "
    "bold}.myself {color: Green; font-weight: bold}.info {font-weight: bold}.invite {font-weight: bold}";

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string EmoticonUrl(const std::string& internalPrefix, std::size_t index) {
    return internalPrefix + "emoticons/" + std::to_string(index) + ".gif";
}

std::string RenderChatText(const std::string& text, const std::vector<std::string>& emoticons,
                           const std::string& internalPrefix) {
    std::vector<std::string> codes;
    codes.reserve(emoticons.size());
    for (const auto& line : emoticons) codes.push_back(LowerAscii(TrimText(line)));
    const std::string lower = LowerAscii(text);
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        bool replaced = false;
        for (std::size_t i = 0; i < codes.size(); ++i) {
            if (codes[i].empty() || lower.compare(at, codes[i].size(), codes[i]) != 0) continue;
            out += "<img src=\"" + EscapeHtml(EmoticonUrl(internalPrefix, i)) + "\" width=12 height=12>";
            at += codes[i].size();
            replaced = true;
            break;
        }
        if (!replaced) out += EscapeHtml(std::string_view(text).substr(at++, 1));
    }
    return out;
}

std::string ChatLinePrefix(TSpeaker speaker, const std::string& name) {
    switch (speaker) {
    case TSpeaker::OtherPrivate: return "<font class=\"aliaspriv\">" + EscapeHtml(name) + "</font> &gt; ";
    case TSpeaker::Other: return "<font class=\"alias\">" + EscapeHtml(name) + "</font> &gt; ";
    case TSpeaker::MePrivate:
        return "<font class=\"aliaspriv\">" + EscapeHtml(LangText(381)) + " " + EscapeHtml(name) + "</font> &gt; ";
    case TSpeaker::Me: break;
    }
    return "<font class=\"myself\">" + EscapeHtml(LangText(382)) + "</font> &gt; ";
}

}  // namespace qv
