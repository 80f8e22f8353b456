// What a line of the lobby's chat says, as the HTML the chat view shows:
// the text of the network escaped, emoticon codes as their pictures, and the
// speaker's prefix. No widget is needed to make it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The style sheet the chat starts with (the speaker classes below).
extern const char* const kChatStyleSheet;

// & < > " as entities: what comes from the network is text, never markup.
std::string EscapeHtml(std::string_view text);

// The address of emoticon `index`'s picture below `internalPrefix`
// ("http://host/base/"); the chat names it, the download adds it there.
std::string EmoticonUrl(const std::string& internalPrefix, std::size_t index);

// `text` escaped, each emoticon code (a line of `emoticons`, matched without
// regard to case; empty lines match nothing) as its 12 x 12 picture, in one
// pass: what a code makes is never looked at again.
std::string RenderChatText(const std::string& text, const std::vector<std::string>& emoticons,
                           const std::string& internalPrefix);

// Who said a line, as its prefix shows it.
enum class TSpeaker {
    Other,         // "<alias> > ", blue
    OtherPrivate,  // "<alias> > ", red
    Me,            // "me > ", green
    MePrivate,     // "To <selected> > ", red
};
// The prefix of a line: `name` is the speaker's alias, or for MePrivate the
// player it went to.
std::string ChatLinePrefix(TSpeaker speaker, const std::string& name);

}  // namespace qv
