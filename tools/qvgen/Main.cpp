// qvgen: makes the game's whole content.
//
//   qvgen --levels <folder> --languages <folder> --out <folder>
//       writes "quorvex.dat" and "scenario2.c3p" into the out folder
//   qvgen --contact-sheet <folder>
//       renders every texture and font as PNG files for a person to look at
#include <cstdio>
#include <exception>
#include <string>

#include "tools/qvgen/Packs.h"
#include "tools/qvgen/pictures/ContactSheet.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: qvgen --levels <folder> --languages <folder> --out <folder>\n"
                 "       qvgen --contact-sheet <folder>\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    qv::gen::TPackOptions options;
    std::string contactSheet;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage();
        const std::string value = argv[++i];
        if (arg == "--levels")
            options.LevelDir = value;
        else if (arg == "--languages")
            options.LanguageDir = value;
        else if (arg == "--out")
            options.OutDir = value;
        else if (arg == "--contact-sheet")
            contactSheet = value;
        else
            return Usage();
    }
    try {
        if (!contactSheet.empty()) {
            qv::gen::WriteContactSheet(contactSheet);
            return 0;
        }
        if (options.LevelDir.empty() || options.LanguageDir.empty() || options.OutDir.empty()) return Usage();
        qv::gen::BuildPacks(options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qvgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
