// The open invitation links of the lobby's chat: each has an id its
// addresses carry ("accept:<id>:...", "refuse:<id>:...", "cancel:<id>:..."),
// is used once, and goes when its player leaves or answers. No widget is
// needed to keep them.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The prefixes of the three invitation links.
inline constexpr std::string_view kAccept = "accept:";
inline constexpr std::string_view kRefuse = "refuse:";
inline constexpr std::string_view kCancel = "cancel:";

// Which of the three invitation links `href` is (its prefix), or empty.
std::string_view LinkAction(std::string_view href);

class TInvitationLinks {
public:
    // An open link: Accept and Refuse of an invitation from `Alias` (to join
    // the duel at `Address`), or Cancel of one sent to `Alias`.
    struct TLink {
        std::string Alias;
        std::string Address;
        bool Cancel = false;
    };
    struct TClicked {
        std::string_view Action;  // kAccept, kRefuse or kCancel
        TLink Link;
    };

    // A new open link; its id.
    int Add(const std::string& alias, const std::string& address, bool cancel);
    // The link a clicked `href` names, taken: a second click on it, an
    // unknown id or another address gives nothing.
    std::optional<TClicked> Take(const std::string& href);
    // Drops every open link `match` picks by its alias and prefix (kCancel
    // for a Cancel link, kAccept for the two answers).
    void Drop(const std::function<bool(const std::string& alias, std::string_view action)>& match);
    // Whether an invitation sent to another player than `alias` is open.
    bool HasOtherOpenInvitation(const std::string& alias) const;
    // The players with open links for whom `present` is false, each once.
    std::vector<std::string> AbsentPlayers(const std::function<bool(const std::string& alias)>& present) const;

private:
    std::map<int, TLink> links_;
    int next_ = 1;
};

}  // namespace qv
