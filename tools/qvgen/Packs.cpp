#include "tools/qvgen/Packs.h"

#include <optional>
#include <vector>

#include "foundation/Exceptions.h"
#include "foundation/qv3Language.h"
#include "platform/codec/Acm.h"
#include "platform/resources/ResourcePackWriter.h"
#include "platform/system/Files.h"
#include "tools/qvgen/Content.h"
#include "tools/qvgen/Demo.h"
#include "tools/qvgen/Environment.h"
#include "tools/qvgen/Levels.h"
#include "tools/qvgen/pictures/Spinner.h"

namespace qv::gen {

namespace {

constexpr const char* kLanguageCodes[] = {"ENU", "DEU", "FRA", "ITA"};

std::string WithSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

void AddAll(sys::TResourcePackWriter& pack, const std::string& type, const std::vector<TGeneratedFile>& files) {
    for (const TGeneratedFile& f : files) pack.Add(type, f.Name, f.Bytes);
}

const TGeneratedFile* Find(const std::vector<TGeneratedFile>& files, const std::string& name) {
    for (const TGeneratedFile& f : files)
        if (f.Name == name) return &f;
    return nullptr;
}

// Everything one scenario slot holds, under the type "SCENARIO<slot>".
void AddScenario(sys::TResourcePackWriter& pack, int slot, const TPackOptions& options, const TPictureSet& pictures,
                 const TSoundSet& sounds) {
    const std::string type = "SCENARIO" + std::to_string(slot);
    const std::vector<TGeneratedFile> levels = GenerateLevels(slot, options.LevelDir);
    const TScenarioPictures scenery = GenerateScenarioPictures(slot);
    const TGeneratedFile* level = Find(levels, "1.lvl");
    const TGeneratedFile* scn = Find(scenery.Files, "1.scn");
    if (!level || !scn) throw Exception(type + " lacks its level or scenery");
    const std::string environment = MakeEnvironment(slot, pictures.FontWidths, level->Bytes, scn->Bytes, sounds.DecodedSize);
    pack.Add(type, "environment.txt", environment);
    AddAll(pack, type, levels);
    AddAll(pack, type, scenery.Files);
    if (slot == kMainSlot) {
        std::vector<TGeneratedFile> all = levels;
        all.insert(all.end(), scenery.Files.begin(), scenery.Files.end());
        pack.Add(type, kDemoName, RecordDemo(all, environment));
    }
}

void Save(const sys::TResourcePackWriter& pack, const std::string& path) {
    std::string error;
    if (!pack.Save(path, &error)) throw Exception("cannot write " + path + ": " + error);
}

}  // namespace

void BuildPacks(const TPackOptions& options) {
    const std::string out = WithSlash(options.OutDir);
    const std::string languages = WithSlash(options.LanguageDir);
    if (!sys::CreateDirectories(out)) throw Exception("cannot create the folder " + out);

    const TPictureSet pictures = GenerateSharedPictures();
    const TSoundSet sounds = GenerateSounds();

    sys::TResourcePackWriter program;
    AddAll(program, "DATA", pictures.Shared);
    AddAll(program, "DATA", sounds.Effects);
    AddAll(program, "DATA", sounds.Music);
    for (const char* code : kLanguageCodes) {
        const std::string name = std::string("lang") + code + ".txt";
        const std::optional<std::vector<std::uint8_t>> bytes = sys::ReadFileBytes(languages + name, kMaxLanguageFileSize);
        if (!bytes) throw Exception("cannot read the language file " + languages + name);
        program.Add("DATA", name, *bytes);
    }
    // The please-wait box's spinner.
    std::vector<TGeneratedFile> spinner;
    pic::AddPng(spinner, pic::kSpinnerName, pic::DrawSpinner());
    AddAll(program, "DATA", spinner);
    // The local sound codec file the front end installs in the shared folder.
    const std::string codec = codec::CodecDescriptor();
    program.Add("DLL", "MP3CODEC", std::vector<std::uint8_t>(codec.begin(), codec.end()));
    AddScenario(program, kDuelSlot, options, pictures, sounds);
    AddScenario(program, kMainSlot, options, pictures, sounds);

    sys::TResourcePackWriter package;
    AddScenario(package, kPackageSlot, options, pictures, sounds);

    Save(program, out + kProgramPackName);
    Save(package, out + kExtraPackageName);
}

}  // namespace qv::gen
