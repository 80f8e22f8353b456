#include "tools/qvgen/pictures/Lobby.h"

#include <string>

#include "tools/qvgen/pictures/Art.h"

namespace qv::gen::pic {

TCanvas DrawLobbyPlayerState(int state) {
    TCanvas c(16, 16);
    const TBox all{0, 0, 16, 16};
    if (state == 1) {
        // In a duel: two crossed blades on an orange disc.
        c.FillSolid(all, [](TVec p) { return SdCircle(p, {8, 8}, 7.2f); }, Rgb(130, 50, 0));
        c.FillSolid(all, [](TVec p) { return SdCircle(p, {8, 8}, 6.0f); }, Rgb(250, 150, 30));
        c.FillSolid(all,
                    [](TVec p) {
                        return std::min(SdCapsule(p, {4.5f, 4.5f}, {11.5f, 11.5f}, 0.9f, 0.9f),
                                        SdCapsule(p, {11.5f, 4.5f}, {4.5f, 11.5f}, 0.9f, 0.9f));
                    },
                    Rgb(255, 255, 255));
        return c;
    }
    // In the room: a head and shoulders on a blue disc.
    c.FillSolid(all, [](TVec p) { return SdCircle(p, {8, 8}, 7.2f); }, Rgb(20, 50, 120));
    c.FillSolid(all, [](TVec p) { return SdCircle(p, {8, 8}, 6.0f); }, Rgb(80, 140, 230));
    c.FillSolid(all, [](TVec p) { return SdCircle(p, {8, 6.2f}, 2.2f); }, Rgb(255, 255, 255));
    c.FillSolid(all, [](TVec p) { return SdCapsule(p, {5.6f, 11.6f}, {10.4f, 11.6f}, 1.6f, 1.6f); },
                Rgb(255, 255, 255));
    return c;
}

void AddLobbyPictures(std::vector<TGeneratedFile>& out) {
    for (int s = 0; s <= 1; ++s) AddPng(out, "lobbyplayer" + std::to_string(s) + ".png", DrawLobbyPlayerState(s));
}

}  // namespace qv::gen::pic
