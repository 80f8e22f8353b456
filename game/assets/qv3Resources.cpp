#include "game/assets/qv3Resources.h"

#include <string_view>

#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "foundation/qv3Sum32.h"
#include "game/data/qv3DataError.h"
#include "media/zkImageLoader.h"
#include "platform/resources/ResourceContainer.h"
#include "platform/system/Files.h"

namespace qv {

std::unique_ptr<TQVX3Resources> GameResources;

namespace {

constexpr const char* kEnvironmentName = "environment.txt";
constexpr const char* kThumbnailName = "thumb.jpg";
constexpr const char* kMoreThumbnailName = "thumbmore.jpg";
// An environment file is a few hundred bytes; anything this large is not one.
constexpr std::size_t kMaxEnvironmentSize = 1024 * 1024;

void CheckSlot(int slot) {
    if (slot < 0 || slot > kMoreScenariosSlot)
        throw ERangeError("Scenario slot " + std::to_string(slot) + " out of range [0.." +
                          std::to_string(kMoreScenariosSlot) + "]");
}

}  // namespace

std::string ScenarioResourceType(int slot) { return "SCENARIO" + std::to_string(slot); }

std::string ScenarioPackageName(int slot) { return "scenario" + std::to_string(slot) + ".c3p"; }

std::uint32_t ScenarioChecksum(const std::vector<std::uint8_t>& level, const std::vector<std::uint8_t>& scenery,
                               std::int32_t number) {
    TSum32 sum;
    sum.AddBuffer(level.data(), level.size());
    sum.AddBuffer(scenery.data(), scenery.size());
    const auto n = static_cast<std::uint32_t>(number);
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                   static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
    sum.AddBuffer(bytes, sizeof bytes);
    return sum.Value();
}

TQVX3Resources::TQVX3Resources(std::string folder)
    : TQVX3Resources(std::move(folder), ProgramDir + kProgramResourceFile) {}

TQVX3Resources::TQVX3Resources(std::string folder, const std::string& programPackPath)
    : folder_(sys::WithTrailingSlash(std::move(folder))) {
    try {
        program_ = sys::TResourceContainer::OpenFile(programPackPath);
    } catch (const sys::EResourceError& e) {
        LogMessage(std::string("Unable to open the program's resources: ") + e.what(), lkError);
    }
    Scan();
}

TQVX3Resources::~TQVX3Resources() = default;

void TQVX3Resources::UnloadAll() {
    for (auto& m : modules_) m.reset();
    for (auto& t : thumbnails_) t.clear();
    for (auto& t : titles_) t.clear();
}

void TQVX3Resources::Scan() {
    UnloadAll();
    currentSlot_ = kMoreScenariosSlot;
    for (int slot = 0; slot < kScenarioSlots; ++slot) {
        const auto i = static_cast<std::size_t>(slot);
        available_[i] = false;
        std::string package;
        try {
            if (program_ && program_->Has(ScenarioResourceType(slot), kEnvironmentName)) {
                available_[i] = true;  // built in
            } else {
                package = folder_ + ScenarioPackageName(slot);
                // In the machine-wide folder a link or anything but a regular
                // file is not a package (the warning below says so).
                if (sys::InspectFile(package, sys::LinkRule::Refuse) == sys::FileStatus::Missing) continue;
                modules_[i] = sys::TResourceContainer::OpenFile(package, sys::LinkRule::Refuse,
                                                                sys::kMaxScenarioPackageSize);
                available_[i] = true;
            }
            SelectScenario(slot);
            titles_[i] = config_.Title;
            LoadImageSlot(slot, kThumbnailName);
            CheckPackage(slot);
        } catch (const std::exception& e) {
            // A package that fails to load, lacks its resources or fails the
            // check is not offered, and is never left loaded.
            available_[i] = false;
            modules_[i].reset();
            thumbnails_[i].clear();
            titles_[i].clear();
            LogMessage("Scenario " + std::to_string(slot) + " not offered" +
                           (package.empty() ? std::string() : " (" + package + ")") + ": " + e.what(),
                       lkWarning);
        }
    }
    // No scenario is current after a scan until one is selected.
    currentSlot_ = kMoreScenariosSlot;
    config_.Reset();
    LoadImageSlot(kMoreScenariosSlot, kMoreThumbnailName);
}

int TQVX3Resources::Rescan() {
    const auto before = available_;
    Scan();
    for (int slot = kScenarioSlots - 1; slot >= 0; --slot) {
        const auto i = static_cast<std::size_t>(slot);
        if (available_[i] && !before[i]) return slot;
    }
    return -1;
}

void TQVX3Resources::SelectScenario(int slot) {
    if (slot == currentSlot_) return;
    int s = slot < 0 ? 0 : slot;
    while (s < kMoreScenariosSlot && !available_[static_cast<std::size_t>(s)]) ++s;
    if (s > kMoreScenariosSlot) s = kMoreScenariosSlot;
    currentSlot_ = s;
    if (s == kMoreScenariosSlot) return;
    const TBytes text = OpenResource(kEnvironmentName);
    if (text.size() > kMaxEnvironmentSize) throw EDataError("Scenario environment file too large");
    config_.Load(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
}

void TQVX3Resources::CheckPackage(int slot) {
    if (config_.Number != slot)
        throw EDataError("scenario number " + std::to_string(config_.Number) + " does not match its slot");
    const std::uint32_t sum = ScenarioChecksum(OpenResource("1.lvl"), OpenResource("1.scn"), config_.Number);
    if (sum != static_cast<std::uint32_t>(config_.Movement)) throw EDataError("package checksum does not match");
}

bool TQVX3Resources::ScenarioAvailable(int slot) const {
    return slot >= 0 && slot < kScenarioSlots && available_[static_cast<std::size_t>(slot)];
}

const TQVX3Resources::TBytes& TQVX3Resources::Thumbnail(int slot) const {
    CheckSlot(slot);
    return thumbnails_[static_cast<std::size_t>(slot)];
}

const std::string& TQVX3Resources::Title(int slot) const {
    CheckSlot(slot);
    return titles_[static_cast<std::size_t>(slot)];
}

void TQVX3Resources::LoadImageSlot(int slot, const std::string& name) {
    CheckSlot(slot);
    TBytes& image = thumbnails_[static_cast<std::size_t>(slot)];
    image.clear();
    try {
        TMemoryStream stream(OpenResource(name));
        // Decoded here, so a damaged picture is found out now and never shown.
        if (LoadBitmapFromImageStream(&stream)) {
            image = stream.Bytes();
            return;
        }
    } catch (const std::exception&) {
    }
    LogMessage("Unable to fetch Scenario thumbnail", lkWarning);
}

const sys::TResourceContainer* TQVX3Resources::ScenarioPack() const {
    if (currentSlot_ >= 0 && currentSlot_ < kScenarioSlots && modules_[static_cast<std::size_t>(currentSlot_)])
        return modules_[static_cast<std::size_t>(currentSlot_)].get();
    return program_.get();
}

bool TQVX3Resources::HasResource(const std::string& name) const {
    const sys::TResourceContainer* pack = ScenarioPack();
    if (pack && pack->Has(ScenarioResourceType(currentSlot_), name)) return true;
    // A package's own shared type is never served, so only the program's
    // counts, and only when the current scenario is not a package.
    return pack == program_.get() && program_ && program_->Has(kSharedResourceType, name);
}

bool TQVX3Resources::CanOpenResource(const std::string& name) const {
    return HasResource(name) || (program_ && program_->Has(kSharedResourceType, name));
}

TQVX3Resources::TBytes TQVX3Resources::OpenResource(const std::string& name) const {
    if (const sys::TResourceContainer* pack = ScenarioPack()) {
        if (auto bytes = pack->Read(ScenarioResourceType(currentSlot_), name)) return std::move(*bytes);
    }
    if (program_) {
        if (auto bytes = program_->Read(kSharedResourceType, name)) return std::move(*bytes);
    }
    throw EResNotFound("Resource " + name + " not found");
}

std::optional<TQVX3Resources::TBytes> TQVX3Resources::ProgramResource(const std::string& type,
                                                                      const std::string& name) const {
    if (!program_) return std::nullopt;
    return program_->Read(type, name);
}

}  // namespace qv
