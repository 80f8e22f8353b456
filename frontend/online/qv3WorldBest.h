// Fetching the world's best replay of a scenario: ask the score server
// whether the local copy is current, download a new one when it is not,
// check it, and only then let it replace the local file.
#pragma once

#include <functional>
#include <string>

namespace qv {

inline constexpr const char* kWorldBestUnavailableText =
    "The World's best replay file is not currently available on the server. Please try again later";
inline constexpr const char* kWorldBestInvalidText =
    "The world's best game data file is invalid. Maybe you need to download the latest version of this game.";
inline constexpr const char* kWorldBestFetchFailedText = "Error fetching file from server";

// States of the two steps (the check and the download); the form shows
// picture state - 1 for each once it is above kStepNotYet.
inline constexpr int kStepNotYet = 0;
inline constexpr int kStepRunning = 1;
inline constexpr int kStepDone = 2;
inline constexpr int kStepFailed = 3;

// The score server names a replay file with 1 to 30 letters, digits, '.',
// '_' and '-', not starting with '.'; the check takes no other name.
inline constexpr std::size_t kWorldBestFileNameLimit = 30;
bool IsWorldBestFileName(const std::string& name);

class TWorldBestDownload {
public:
    explicit TWorldBestDownload(int slot) : slot_(slot) {}

    // Called after every change of a state (the form repaints and lets
    // pending events run).
    std::function<void()> OnStateChanged;

    // The whole exchange; reports to the player itself.
    void Run();

    int CheckState() const { return checkState_; }
    int DownloadState() const { return downloadState_; }
    // The local replay may be played.
    bool ReplayEnabled() const { return replayEnabled_; }

private:
    void Changed();

    int slot_;
    int checkState_ = kStepNotYet;
    int downloadState_ = kStepNotYet;
    bool replayEnabled_ = false;
};

// Percent-encodes all but the unreserved characters of RFC 3986 (letters,
// digits, "-", ".", "_" and "~"), as the toolkit does. The score server's
// file names keep their "." and "_" this way; a scrambled submission takes
// PercentEncode, which encodes all but letters and digits.
std::string EncodeUrlComponent(const std::string& text);

}  // namespace qv
