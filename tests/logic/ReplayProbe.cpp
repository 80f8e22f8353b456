// Replays level 1 of a replay pack over a scenario kept as plain files and
// prints how it ended, one line:
//   qv_replay_probe <scenario folder> <pack file> <intro ticks>
// The folder holds 1.lvl, 1.scn, decor.bnd and environment.txt.
#include <cstdio>
#include <exception>
#include <string>

#include "game/logic/qv3GameLogic.h"
#include "game/core/qv3ReplayFiles.h"
#include "game/data/qv3ScenarioConfig.h"
#include "platform/system/Files.h"
#include "tests/support/LogicTestSupport.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: qv_replay_probe <scenario folder> <pack file> <intro ticks>\n");
        return 2;
    }
    try {
        const std::string folder = qv::sys::WithTrailingSlash(argv[1]);
        qv::test::TMapResources resources;
        for (const char* name : {"1.lvl", "1.scn", "decor.bnd", "environment.txt"}) {
            const auto bytes = qv::sys::ReadFileBytes(folder + name);
            if (!bytes) throw std::runtime_error(std::string("cannot read ") + name);
            resources.Files[name] = *bytes;
        }
        qv::TScenarioConfig config;
        const auto& env = resources.Files.at("environment.txt");
        config.Load(std::string_view(reinterpret_cast<const char*>(env.data()), env.size()));
        qv::test::TFakeTexts texts;
        qv::TLogicServices services;
        services.Resources = &resources;
        services.Config = &config;
        services.Texts = &texts;
        qv::TReplayFile pack(argv[2]);
        auto logic = qv::TGameLogic::CreateFromRecord(services, qv::gmReplay, pack.GetLevel(1));
        const auto result = qv::test::PlayBack(*logic, std::stoi(argv[3]));
        std::printf("%s\n", result.Describe().c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qv_replay_probe: %s\n", e.what());
        return 1;
    }
}
