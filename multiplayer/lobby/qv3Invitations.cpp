#include "multiplayer/lobby/qv3Invitations.h"

#include <algorithm>
#include <exception>

#include "foundation/TextUtil.h"

namespace qv {

std::string_view LinkAction(std::string_view href) {
    for (const std::string_view action : {kAccept, kRefuse, kCancel}) {
        if (href.starts_with(action)) return action;
    }
    return {};
}

int TInvitationLinks::Add(const std::string& alias, const std::string& address, bool cancel) {
    const int id = next_++;
    links_[id] = TLink{alias, address, cancel};
    return id;
}

std::optional<TInvitationLinks::TClicked> TInvitationLinks::Take(const std::string& href) {
    const std::string_view action = LinkAction(href);
    if (action.empty()) return std::nullopt;
    const std::string rest = href.substr(action.size());
    int id = 0;
    try {
        id = std::stoi(rest.substr(0, rest.find(':')));
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const auto it = links_.find(id);
    if (it == links_.end()) return std::nullopt;  // used already
    TClicked clicked{action, std::move(it->second)};
    links_.erase(it);
    return clicked;
}

void TInvitationLinks::Drop(const std::function<bool(const std::string&, std::string_view)>& match) {
    std::erase_if(links_, [&](const auto& entry) {
        return match(entry.second.Alias, entry.second.Cancel ? kCancel : kAccept);
    });
}

bool TInvitationLinks::HasOtherOpenInvitation(const std::string& alias) const {
    return std::any_of(links_.begin(), links_.end(), [&](const auto& entry) {
        return entry.second.Cancel && !SameTextNoCase(entry.second.Alias, alias);
    });
}

std::vector<std::string> TInvitationLinks::AbsentPlayers(const std::function<bool(const std::string&)>& present) const {
    std::vector<std::string> absent;
    for (const auto& [id, link] : links_)
        if (!present(link.Alias) && std::find(absent.begin(), absent.end(), link.Alias) == absent.end())
            absent.push_back(link.Alias);
    return absent;
}

}  // namespace qv
