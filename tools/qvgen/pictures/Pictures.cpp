// The pictures part of the content generator: every picture of the game
// drawn by code, as the named files of the resource pack.
#include "game/assets/qv3Graphics.h"
#include "tools/qvgen/Content.h"
#include "tools/qvgen/pictures/Art.h"
#include "tools/qvgen/pictures/Lobby.h"
#include "tools/qvgen/pictures/Online.h"

namespace qv::gen {

using namespace pic;

TPictureSet GenerateSharedPictures() {
    TPictureSet set;
    std::vector<TGeneratedFile>& out = set.Shared;
    AddMasked(out, "Misc1", DrawMisc1());
    AddMasked(out, "Misc2", DrawMisc2());
    const TFontPicture font0 = DrawFont(0);
    AddMasked(out, GameTextureTable[2].Name, font0.Textures[0]);
    const TFontPicture font1 = DrawFont(1);
    AddMasked(out, GameTextureTable[3].Name, font1.Textures[0]);
    AddMasked(out, GameTextureTable[4].Name, font1.Textures[1]);
    set.FontWidths.assign(font1.FontWidths.begin(), font1.FontWidths.end());
    AddMasked(out, GameTextureTable[5].Name, DrawFlag(0));
    AddMasked(out, GameTextureTable[6].Name, DrawFlag(1));
    for (int t = 7; t <= 15; ++t) AddMasked(out, GameTextureTable[static_cast<std::size_t>(t)].Name, DrawNivletSheet(t));
    for (int k = 0; k < 6; ++k) AddMasked(out, GameTextureTable[static_cast<std::size_t>(16 + k)].Name, DrawVirusSheet(k));
    AddMasked(out, GameTextureTable[29].Name, DrawTitle());
    AddMasked(out, GameTextureTable[30].Name, DrawBigNumber());
    AddMasked(out, GameTextureTable[31].Name, DrawParticle());
    for (int n = 1; n <= 3; ++n) AddJpeg(out, "loading" + std::to_string(n) + ".jpg", DrawLoading(n));
    AddPng(out, "LoadingSida.png", DrawLoadingOverlay());
    AddJpeg(out, "credits.jpg", DrawCredits());
    AddJpeg(out, "thumbmore.jpg", DrawThumbMore());
    AddJpeg(out, "about.jpg", DrawAbout());
    const TMenuPictures menu = DrawMenu();
    AddPng(out, "menu_base.png", menu.Base);
    AddJpeg(out, "menu_logo1.jpg", menu.Logo1);
    AddJpeg(out, "menu_logo2.jpg", menu.Logo2);
    AddPng(out, "menu_leftbutton_p.png", menu.LeftPressed);
    AddPng(out, "menu_leftbutton_r.png", menu.LeftHover);
    AddPng(out, "menu_rightbutton_p.png", menu.RightPressed);
    AddPng(out, "menu_rightbutton_r.png", menu.RightHover);
    AddPng(out, "menu_scenario_p.png", menu.ScenarioPressed);
    AddPng(out, "menu_scenario_r.png", menu.ScenarioHover);
    AddOnlinePictures(out);
    AddLobbyPictures(out);
    return set;
}

TScenarioPictures GenerateScenarioPictures(int slot) {
    TScenarioPictures pictures;
    std::vector<TGeneratedFile>& out = pictures.Files;
    const TSceneryArt art = DrawScenery(slot);
    for (int i = 0; i < 3; ++i)
        AddJpeg(out, std::string(GameTextureTable[static_cast<std::size_t>(22 + i)].Name) + ".jpg", art.Back[static_cast<std::size_t>(i)]);
    for (int i = 0; i < 4; ++i)
        AddMasked(out, GameTextureTable[static_cast<std::size_t>(25 + i)].Name, art.Decor[static_cast<std::size_t>(i)]);
    out.push_back({"decor.bnd", WriteSpriteBoundaries(static_cast<std::int32_t>(art.Sprites.size()), art.Sprites)});
    out.push_back({"1.scn", WriteScenarioData(art.Scenery)});
    AddJpeg(out, "thumb.jpg", art.Thumb);
    return pictures;
}

}  // namespace qv::gen
