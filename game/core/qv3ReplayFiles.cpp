#include "game/core/qv3ReplayFiles.h"

#include <exception>
#include <functional>

#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "game/logic/qv3GameLogic.h"
#include "platform/system/Files.h"

namespace qv {

std::string LastReplayPath(int slot) { return UserDataDir + "last" + std::to_string(slot) + ".gmp"; }
std::string MyBestReplayPath(int slot) { return UserDataDir + "mybest" + std::to_string(slot) + ".gmp"; }
std::string WorldBestReplayPath(int slot) { return UserDataDir + "worldbest" + std::to_string(slot) + ".gmp"; }

TReplayFile::TReplayFile(std::string fileName) : FileName(std::move(fileName)) {
    // A file that is missing or cannot be read is simply no pack.
    if (FileName.empty() || !sys::FileExists(FileName)) return;
    std::string error;
    const auto data = sys::ReadFileBytes(FileName, kMaxReplayFileSize, &error);
    if (data) {
        Read(*data);
    } else {
        LogMessage(error, lkWarning);
        LogMessage("Unable to open replay file.", lkWarning);
    }
}

void TReplayFile::AddLevelAndSave(TGameLogic& logic) {
    AddLevelAndSave(logic.LevelNumber, logic.Finished, logic.Won, [&logic] { return logic.WriteRecord(); });
}

void TReplayFile::AddLevelAndSaveLater(TGameLogic& logic) {
    AddLevelAndSave(logic.LevelNumber, logic.Finished, logic.Won, [&logic] { return logic.WriteRecord(); },
                    TWhen::Later);
}

void TReplayFile::AddLevelAndSave(std::int32_t levelNumber, bool finished, bool won,
                                  const TRecordWriter& writeRecord) {
    AddLevelAndSave(levelNumber, finished, won, writeRecord, TWhen::Now);
}

void TReplayFile::AddLevelAndSave(std::int32_t levelNumber, bool finished, bool won,
                                  const TRecordWriter& writeRecord, TWhen when) {
    std::string error;
    try {
        AddLevel(levelNumber, finished, won, writeRecord);
    } catch (const EReplayPackError& e) {
        error = e.what();
    }
    try {
        Save(when);
    } catch (const std::exception& e) {
        error = std::string("Error saving replay file: ") + e.what();
        LogMessage(error, lkWarning);
    }
    if (!error.empty()) throw EReplayPackError(error);
}

void TReplayFile::Save(TWhen when) const {
    if (FileName.empty()) throw EReplayPackError("the pack has no file");
    const TBytes enciphered = ToStream();
    std::string data(enciphered.begin(), enciphered.end());
    // A temporary file renamed over the old one: a failed save loses nothing.
    // The player's own: no other user reads it.
    if (when == TWhen::Later) {
        // Told when it fails, as a save now tells it to its caller.
        sys::WriteFileLater(FileName, std::move(data), sys::kPrivateFileMode, [](const std::string& why, bool) {
            const std::string error = "Error saving replay file: " + why;
            LogMessage(error, lkWarning);
            LogMessage("Failed to record replay: " + error, lkError);
        });
        return;
    }
    std::string why;
    if (!sys::WriteFileAtomic(FileName, data, &why, sys::kPrivateFileMode)) throw EReplayPackError(why);
}

}  // namespace qv
