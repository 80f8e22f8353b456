// The two state marks of the lobby's players list: in the room, in a duel.
#pragma once

#include <vector>

#include "tools/qvgen/pictures/Canvas.h"

namespace qv::gen::pic {

TCanvas DrawLobbyPlayerState(int state);  // 0 or 1, 16 x 16

// "lobbyplayer0.png", "lobbyplayer1.png".
void AddLobbyPictures(std::vector<TGeneratedFile>& out);

}  // namespace qv::gen::pic
