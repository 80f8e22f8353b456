#include "foundation/qv3Global.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "foundation/Random.h"
#include "foundation/qv3Log.h"
#include "foundation/TextUtil.h"
#include "platform/system/Files.h"
#include "platform/system/InstanceLock.h"

namespace qv {

std::string ProgramDir;
std::string UserDataDir;
std::string CommonDataDir;
bool UninstallRequested = false;
bool HostsResolved = false;

namespace {

sys::TInstanceLock& InstanceLock() {
    static sys::TInstanceLock lock;
    return lock;
}

// `prefix` + n in plain decimal + `suffix`.
std::string Numbered(const char* prefix, int n, const char* suffix) {
    return prefix + std::to_string(n) + suffix;
}

struct DegreeTables {
    float sine[360];
    float cosine[360];
    DegreeTables() {
        for (int d = 0; d < 360; ++d) {
            const double r = d * std::numbers::pi / 180.0;
            sine[d] = static_cast<float>(std::sin(r));
            cosine[d] = static_cast<float>(std::cos(r));
        }
    }
};

// The player's own files in the user folder: the replays, the settings,
// the log. Each holds what only the player should read.
std::vector<std::string> PrivateUserFileNames() {
    std::vector<std::string> names;
    for (int n = 0; n <= 99; ++n) {
        names.push_back(Numbered("mybest", n, ".gmp"));
        names.push_back(Numbered("last", n, ".gmp"));
        names.push_back(Numbered("worldbest", n, ".gmp"));
    }
    names.emplace_back("env.dat");
    names.emplace_back("dip.dat");
    names.emplace_back(kLogFileName);
    return names;
}

// What earlier runs left open or behind: the user folder and its files made
// readable by others (as older builds made them), and the new files of saves
// that a kill cut short.
void TidyDataFolders(const sys::Folders& folders) {
    // Only a user folder of its own: the program's folder may stand in for it.
    if (folders.userDataDir != folders.programDir) sys::RestrictToOwner(folders.userDataDir);
    for (const std::string& name : PrivateUserFileNames()) sys::RestrictToOwner(folders.userDataDir + name);
    sys::RemoveStaleTemporaries(folders.userDataDir);
    if (folders.commonDataDir != folders.userDataDir) sys::RemoveStaleTemporaries(folders.commonDataDir);
}

const DegreeTables& Tables() {
    static const DegreeTables tables;
    return tables;
}

}  // namespace

void InitializeGlobals(const std::vector<std::string>& args, const sys::FolderInputs& inputs) {
    const sys::Folders folders = sys::ResolveFolders(inputs);
    ProgramDir = folders.programDir;
    UserDataDir = folders.userDataDir;
    CommonDataDir = folders.commonDataDir;
    UninstallRequested = false;
    HostsResolved = false;
    TidyDataFolders(folders);

    if (!args.empty() && LowerAscii(args[0]) == "-uninstall") {
        DeleteUserFiles();
        for (const char* name : kSharedFiles) {
            sys::RemoveFile(CommonDataDir + name);
            if (ProgramDir != CommonDataDir) sys::RemoveFile(ProgramDir + name);
        }
        UninstallRequested = true;
    }
}

void InitializeGlobals(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
    InitializeGlobals(args, sys::FolderInputsFromEnvironment());
}

void FinalizeGlobals() {
    ReleaseInstanceLock();
    ProgramDir.clear();
    UserDataDir.clear();
    CommonDataDir.clear();
}

void DeleteUserFiles() {
    for (int n = 0; n <= 99; ++n) sys::RemoveFile(CommonDataDir + Numbered("scenario", n, ".c3p"));
    for (const std::string& name : PrivateUserFileNames()) {
        if (name != kLogFileName) sys::RemoveFile(UserDataDir + name);
    }
}

std::string RendererErrorText(std::uint32_t code) {
    switch (code) {
        case kRendererCalibrationFailed:
            return "Failed to calibrate.";
        case kRendererNoDevice:
            return "Could not find any 3D hardware accelerated DirectX 8 device.";
        default:
            return "Unrecognized Error";
    }
}

namespace {
bool LockHeldElsewhere(const std::string& path) {
    const auto result = InstanceLock().AcquireFile(path);
    // Not our own lock file (another user's, or not a file): this user's
    // program runs without the guard rather than not at all.
    if (result == sys::TInstanceLock::Result::Failed) {
        std::fprintf(stderr, "%s\n", InstanceLock().Error().c_str());
        std::fflush(stderr);
    }
    return result == sys::TInstanceLock::Result::HeldElsewhere;
}
}  // namespace

bool IsAnotherInstanceRunning(const std::string& runtimeDir) {
    return LockHeldElsewhere(sys::WithTrailingSlash(runtimeDir) + kProductName + ".lock");
}

bool IsAnotherInstanceRunning() { return LockHeldElsewhere(sys::InstanceLockPath(kProductName)); }

void ReleaseInstanceLock() { InstanceLock().Release(); }

int DegIndex(float angle) {
    const double degrees = std::trunc(static_cast<double>(angle) * 57.295779513082320877);
    if (!std::isfinite(degrees)) return 0;
    int index = static_cast<int>(std::fmod(degrees, 360.0));
    if (index < 0) index += 360;
    return index;
}

float DegSin(float angle) { return Tables().sine[DegIndex(angle)]; }
float DegCos(float angle) { return Tables().cosine[DegIndex(angle)]; }

void CurvedPointPath(int count, TCurvedPoint* points, float xLength, float turnScale, float amplitude, float phase,
                     float phaseLength, float scale) {
    if (count < 2 || !points) return;
    const float halfPi = std::numbers::pi_v<float> / 2.0f;
    const float last = static_cast<float>(count - 1);
    for (int i = 0; i < count; ++i) {
        const float t = -static_cast<float>(i) / last;
        TCurvedPoint& p = points[i];
        p.x = t * xLength * scale;
        const float a = t * phaseLength * scale + phase;
        p.y = amplitude * std::sin(a);
        const float b = turnScale * std::cos(a) - halfPi;
        p.dirX = std::cos(b);
        p.dirY = std::sin(b);
    }
}

int CountRandomHits(int trials, float p) {
    int hits = 0;
    for (int i = 0; i < trials; ++i) {
        if (ProgramRandom().Uniform() < static_cast<double>(p)) ++hits;
    }
    return hits;
}

}  // namespace qv
