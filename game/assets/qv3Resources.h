// The scenario resource manager: finds the scenarios (built into the
// program's resource pack, or installed as packages "scenario%d.c3p" in the
// shared data folder), checks each package, keeps a thumbnail and a title
// per scenario, makes one scenario current, and opens every named resource
// for the rest of the program, falling back to the program's own.
//
// Inside a pack a scenario's resources have the type "SCENARIO<slot>" and
// the file name as name; the program's shared resources have the type
// "DATA".
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Exceptions.h"
#include "platform/system/CommonDataFolder.h"
#include "game/data/qv3ResourceSource.h"
#include "game/data/qv3ScenarioConfig.h"

namespace qv {

namespace sys {
class TResourceContainer;
}

inline constexpr int kScenarioSlots = 100;
// The slot that stands for "more scenarios": never available, and current
// while no scenario is selected.
inline constexpr int kMoreScenariosSlot = 100;
inline constexpr const char* kProgramResourceFile = sys::kProgramPackName;
inline constexpr const char* kSharedResourceType = "DATA";

// "SCENARIO<slot>"
std::string ScenarioResourceType(int slot);
// "scenario<slot>.c3p"
std::string ScenarioPackageName(int slot);
// The sum a package's "Movement" must hold: the byte sum over `level`, then
// `scenery`, then the four little-endian bytes of `number`.
std::uint32_t ScenarioChecksum(const std::vector<std::uint8_t>& level, const std::vector<std::uint8_t>& scenery,
                               std::int32_t number);

class TQVX3Resources final : public IResourceSource {
public:
    using TBytes = std::vector<std::uint8_t>;

    // Keeps the package folder, opens the program's resource pack (a missing
    // or bad one is logged and leaves only the packages) and scans.
    explicit TQVX3Resources(std::string folder);
    TQVX3Resources(std::string folder, const std::string& programPackPath);
    ~TQVX3Resources() override;
    TQVX3Resources(const TQVX3Resources&) = delete;
    TQVX3Resources& operator=(const TQVX3Resources&) = delete;

    // Finds and checks every scenario. Afterwards no scenario is current
    // (CurrentSlot is 100) until one is selected.
    void Scan();
    // Scans again; returns the highest slot that is available now and was
    // not before, or -1.
    int Rescan();
    // Nothing when `slot` is current; otherwise the first available slot
    // from `slot` upward becomes current (100 when there is none) and its
    // environment is loaded.
    void SelectScenario(int slot);

    bool ScenarioAvailable(int slot) const;
    // The slot's picture as stored (JPEG or PNG bytes that decode), empty
    // when it has none.
    const TBytes& Thumbnail(int slot) const;
    const std::string& Title(int slot) const;
    // Replaces the slot's picture by the named resource, decoded at once to
    // see that it is one; a resource that cannot be opened or is no PNG or
    // JPEG picture logs
    // "Unable to fetch Scenario thumbnail" as a warning and leaves the slot
    // without a picture.
    void LoadImageSlot(int slot, const std::string& name);

    // Whether the current scenario holds `name`: for a scenario of a package
    // the package alone decides (so a package's own PNG is never passed over
    // for the program's JPEG of the same name); for a built-in scenario, or
    // with none current, the program's scenario or shared resources.
    bool HasResource(const std::string& name) const override;
    // Whether OpenResource would find `name` (here or in the program's
    // shared resources).
    bool CanOpenResource(const std::string& name) const;
    // The named resource of the current scenario (from its package, or from
    // the program for a built-in scenario), else the program's "DATA"
    // resource of that name. Throws EResNotFound when neither has it, and
    // sys::EResourceError when its stored data is bad.
    TBytes OpenResource(const std::string& name) const override;

    // A resource of the program's own pack, whatever scenario is current
    // ("DLL"/"MP3CODEC", "DATA"/"lobbyplayer0.png"). Nothing when the pack
    // or the resource is missing; throws sys::EResourceError when its stored
    // data is bad.
    std::optional<TBytes> ProgramResource(const std::string& type, const std::string& name) const;

    int CurrentSlot() const { return currentSlot_; }
    const std::string& Folder() const { return folder_; }
    TScenarioConfig& Config() { return config_; }
    const TScenarioConfig& Config() const { return config_; }

private:
    // The pack that holds the current scenario's own resources.
    const sys::TResourceContainer* ScenarioPack() const;
    void CheckPackage(int slot);
    void UnloadAll();

    std::string folder_;
    std::unique_ptr<sys::TResourceContainer> program_;
    std::array<std::unique_ptr<sys::TResourceContainer>, kScenarioSlots + 1> modules_;
    std::array<TBytes, kScenarioSlots + 1> thumbnails_;
    std::array<std::string, kScenarioSlots + 1> titles_;
    std::array<bool, kScenarioSlots + 1> available_{};
    int currentSlot_ = kMoreScenariosSlot;
    TScenarioConfig config_;
};

// The program's one resource manager, made by the main window at start.
extern std::unique_ptr<TQVX3Resources> GameResources;

}  // namespace qv
