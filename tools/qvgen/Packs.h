// Assembly of the generated content into the program's resource pack and
// the extra scenario package.
#pragma once

#include <string>

namespace qv::gen {

inline constexpr const char* kProgramPackName = "quorvex.dat";
inline constexpr const char* kExtraPackageName = "scenario2.c3p";

struct TPackOptions {
    std::string LevelDir;     // the level designs
    std::string LanguageDir;  // the converted language files "langENU.txt" ...
    std::string OutDir;       // where both packs are written
};

// Makes every resource and writes "quorvex.dat" (types DATA, SCENARIO0,
// SCENARIO1) and "scenario2.c3p" (type SCENARIO2) into OutDir. Throws
// qv::Exception with the reason when anything cannot be made or written.
void BuildPacks(const TPackOptions& options);

}  // namespace qv::gen
