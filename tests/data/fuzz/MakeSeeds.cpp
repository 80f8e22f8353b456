// Writes the seed files of the data readers' fuzzers, made with the
// scenario fixture builder: qv_fuzz_seeds <corpus folder>, which gets one
// sub-folder per fuzzer (tests/fuzz/corpus in the source tree).
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/BinaryIO.h"
#include "game/data/qv3RecordedLevel.h"
#include "platform/system/Files.h"
#include "tests/support/ScenarioFixture.h"

namespace {

bool Write(const std::string& root, const std::string& fuzzer, const std::string& name,
           const std::vector<std::uint8_t>& bytes) {
    const std::string folder = root + fuzzer + "/";
    if (!qv::sys::CreateDirectories(folder)) return false;
    std::string error;
    if (!qv::sys::WriteFileAtomic(folder + name,
                                  std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &error)) {
        std::fprintf(stderr, "%s%s: %s\n", folder.c_str(), name.c_str(), error.c_str());
        return false;
    }
    return true;
}

std::vector<std::uint8_t> Prefixed(std::uint8_t first, const std::vector<std::uint8_t>& bytes) {
    qv::TBinaryWriter out;
    out.WriteU8(first);
    out.WriteBytes(bytes);
    return out.Take();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::string root = qv::sys::WithTrailingSlash(argv[1]);
    using qv::test::Bytes;
    qv::test::TScenarioFixture scenario;
    scenario.Thumbnail = Bytes("\xFF\xD8");
    scenario.EnvironmentLines = {"Colors=-1,$FF00FF00", "FontWidths=1,2,3", "SndMusic=100", "DirectionBase=45.5"};

    qv::TGameInput input;
    input.AddSample(1, 300, 0, true, false, {});
    input.AddSample(3, 1023, 1, false, true, {true, false});
    input.AddSample(2, 7, 2, false, false, {false, true});
    qv::TBinaryWriter list;
    input.WriteToStream(list);

    const std::vector<std::uint16_t> words = {1, 0x7F01, 0x0102, 0, 0x4081, 3, 0x7FFF, 1, 1, 0x2001};
    const auto plain = qv::RecordedLevelContent({90000, 1, 250}, input, words);

    // The level fuzzer's recorded mode: the level file's length, the file,
    // then the words.
    qv::TBinaryWriter recordedLevel;
    const auto levelBytes = scenario.LevelBytes();
    recordedLevel.WriteU8(1);
    recordedLevel.WriteU16(static_cast<std::uint16_t>(levelBytes.size()));
    recordedLevel.WriteBytes(levelBytes);
    recordedLevel.WriteI32(3);
    for (std::uint16_t w : {1, 0x4001, 0x7F7F}) recordedLevel.WriteU16(w);

    const bool ok = Write(root, "resource_container", "scenario.c3p", qv::test::BuildPackage(5, scenario)) &&
                    Write(root, "environment", "environment.txt", Bytes(scenario.EnvironmentText())) &&
                    Write(root, "level_data", "drawn.lvl", Prefixed(0, levelBytes)) &&
                    Write(root, "level_data", "recorded.lvl", recordedLevel.Data()) &&
                    Write(root, "scenario_data", "1.scn", scenario.SceneryBytes()) &&
                    Write(root, "sprite_boundaries", "decor.bnd", scenario.BoundariesBytes()) &&
                    Write(root, "recorded_level", "plain.bin", Prefixed(1, plain)) &&
                    Write(root, "recorded_level", "enciphered.bin", Prefixed(0, qv::EncipherLevelStream(plain))) &&
                    Write(root, "game_input", "inputs.bin", list.Data());
    return ok ? 0 : 1;
}
