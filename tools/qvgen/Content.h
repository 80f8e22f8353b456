// The content generator's parts and what they hand to the pack assembly.
//
// Every picture, sound, piece of music, level and scenery of Quorvex is made
// here by code, the same bytes from the same sources. The pictures part
// (Pictures.cpp) and the sound and level parts (Sounds.cpp, Levels.cpp) each
// return named files; Main.cpp assembles them into the program's resource
// pack "quorvex.dat" and the extra scenario package.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::gen {

struct TGeneratedFile {
    std::string Name;                 // resource name, e.g. "Misc1.png", "1.scn"
    std::vector<std::uint8_t> Bytes;  // the file's contents
};

// The scenarios the generator makes. Slot 0 is the built-in duel scenario the
// lobby entry stands for, slot 1 the built-in single-player scenario, slot 2
// a small extra scenario shipped as the package "scenario2.c3p".
inline constexpr int kDuelSlot = 0;
inline constexpr int kMainSlot = 1;
inline constexpr int kPackageSlot = 2;

struct TPictureSet {
    // Shared by every scenario (resource type "DATA"): creature sheets, fonts,
    // Misc sheets, title, digits, particles, flags, loading and credits
    // pictures, "thumbmore.jpg", the front end's menu and about pictures.
    std::vector<TGeneratedFile> Shared;
    // Glyph widths of font 1 (67 values) drawn into Font1/Font2, for the
    // scenarios' "FontWidths=" line.
    std::vector<int> FontWidths;
};

// What one scenario slot owns of pictures and scenery: backgrounds Back1..3,
// decor sheets Decor1..4 (+ masks), "decor.bnd", "1.scn", "thumb.jpg".
struct TScenarioPictures {
    std::vector<TGeneratedFile> Files;
};

TPictureSet GenerateSharedPictures();
TScenarioPictures GenerateScenarioPictures(int slot);

// The 36 effect sounds ("Shoot.wav" ...) as PCM WAVE and the three music
// loops as MPEG Layer-3 WAVE data; `DecodedSize` gives each music file's
// "Snd" size (46 + decoded PCM bytes).
struct TSoundSet {
    std::vector<TGeneratedFile> Effects;
    std::vector<TGeneratedFile> Music;
    std::vector<std::pair<std::string, std::int64_t>> DecodedSize;  // music name without ".wav", size
};
TSoundSet GenerateSounds();

}  // namespace qv::gen
