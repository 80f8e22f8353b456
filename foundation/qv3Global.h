// The global unit: the three folders, the uninstall clean-up, the single
// instance guard, and small numeric routines used by the game elements.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/system/Folders.h"

namespace qv {

inline constexpr const char* kProductName = "Quorvex";

// Folders, each with a trailing '/'; fixed by InitializeGlobals.
extern std::string ProgramDir;
extern std::string UserDataDir;
extern std::string CommonDataDir;
// Set when the uninstall clean-up ran; the program then ends at once.
extern bool UninstallRequested;
// The host list has been applied in this run.
extern bool HostsResolved;

// The shared files the uninstall clean-up removes, in order.
inline constexpr std::array<const char*, 4> kSharedFiles = {
    "QVX3GameMusic.wav", "QVX3HighScoreMusic.wav", "QVX3MenuMusic.wav", "l3codecx.acm"};

// Resolves the folders from `inputs`, takes other users' permissions away
// from the user folder (when it is not the program's) and from the player's
// files in it, and removes the new files that saves cut short by a kill
// left in the data folders. When the first argument in lower case is
// "-uninstall", runs the clean-up and sets UninstallRequested.
// `args` excludes the program name.
void InitializeGlobals(const std::vector<std::string>& args, const sys::FolderInputs& inputs);
// The same with this process's command line and environment.
void InitializeGlobals(int argc, char** argv);
// Releases the instance lock and clears the folders.
void FinalizeGlobals();

// Deletes the scenario packages, the replays and the settings files.
void DeleteUserFiles();

inline constexpr std::uint32_t kRendererCalibrationFailed = 0x81020001u;
inline constexpr std::uint32_t kRendererNoDevice = 0x81020002u;
std::string RendererErrorText(std::uint32_t code);

// Takes the product's instance lock in the runtime folder. True when another
// process holds it; a lock that cannot be made counts as no other instance.
bool IsAnotherInstanceRunning();
bool IsAnotherInstanceRunning(const std::string& runtimeDir);
// Gives the lock back (at program end, or in tests).
void ReleaseInstanceLock();

// Whole-degree sine and cosine of an angle in radians.
float DegSin(float angle);
float DegCos(float angle);
// The table index DegSin and DegCos use: degrees truncated, wrapped to 0..359.
int DegIndex(float angle);

struct TCurvedPoint {
    float x, y, dirX, dirY;
};
// Fills `count` (at least 2) points along a sine wave from x = 0 back to
// x = -xLength * scale, each with a unit vector across the path.
void CurvedPointPath(int count, TCurvedPoint* points, float xLength, float turnScale, float amplitude, float phase,
                     float phaseLength, float scale);

// How many of `trials` uniform draws of the program's generator fall below p.
int CountRandomHits(int trials, float p);

}  // namespace qv
