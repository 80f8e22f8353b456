// The core's bookkeeping of the current scenario's progress: the settings
// record, the high-score table and its name entry, level statistics and the
// last and best games' replays.
#include "game/core/qv3GameCore.h"

#include <exception>
#include <string_view>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Log.h"
#include "game/assets/qv3Resources.h"
#include "game/assets/qv3Sounds.h"
#include "game/core/qv3CoreRules.h"
#include "game/core/qv3ReplayFiles.h"
#include "game/logic/qv3GameLogic.h"
#include "platform/system/Files.h"

namespace qv {

TScenarioProgress& TGameCore::Progress() {
    static TScenarioProgress none;
    const int slot = Resources().CurrentSlot();
    if (slot < 0 || slot >= static_cast<int>(kScenarioSlotCount)) {
        none = TScenarioProgress();
        return none;
    }
    return settings_.Scenarios[static_cast<std::size_t>(slot)];
}

namespace {
std::function<void()>& SettingsSaver() {
    static std::function<void()> saver;
    return saver;
}
}  // namespace

void SetGameSettingsSaver(std::function<void()> saver) { SettingsSaver() = std::move(saver); }

void TGameCore::SaveSettings() {
    if (services_.SaveSettings) {
        services_.SaveSettings();
    } else if (SettingsSaver()) {
        SettingsSaver()();
    } else {
        LogMessage("Unable to save environment file: no settings file", lkWarning);
    }
}


void TGameCore::NameEditor() {
    if (HighScoreRow < 0 || HighScoreRow >= static_cast<int>(kHighScoreCount)) {
        NameKey = 0;
        return;
    }
    if (NameKey == 0) return;
    THighScoreEntry& entry = Progress().HighScores[static_cast<std::size_t>(HighScoreRow)];
    const TNameEdit edit = EditHighScoreName(entry.Name, NameKey);
    NameKey = 0;
    if (edit.Sound >= 0) Sounds->Play(edit.Sound, -1);
    if (edit.Done) {
        settings_.PlayerAlias = entry.Name.View();
        SaveSettings();
        NameEntryPhase = TNameEntryPhase::FadeOut;
    }
}

// --- high scores, statistics, replays ---

std::int32_t TGameCore::InsertHighScore(std::int32_t Score, std::int32_t Level) {
    TScenarioProgress& progress = Progress();
    const int row = InsertHighScoreEntry(progress.HighScores, Score, settings_.PlayerAlias.View());
    if (row < 0) return -1;
    if (row == 0) {
        // The record keeps one statistics block: the first level's.
        progress.BestGameStats = TGameStatistics();
        if (Level == 1 && Logic) progress.BestGameStats = Logic->Statistics;
        if (Level > 1) progress.BestGameStats = progress.LastGameStats;
        const std::string last = LastReplayPath(Resources().CurrentSlot());
        const std::string best = MyBestReplayPath(Resources().CurrentSlot());
        // The last game is a replay file: what the replay reader accepts at
        // most. While its write is still queued the file layer answers
        // from the queue.
        constexpr std::size_t kMaxLastGameCopySize = kMaxReplayFileSize;
        auto data = sys::ReadFileText(last, kMaxLastGameCopySize);
        if (data) {
            // Copied on the writer thread, after the last game itself: the
            // table shows at once, whatever the disk is doing.
            sys::WriteFileLater(best, std::move(*data), sys::kPrivateFileMode,
                                [best](const std::string&, bool superseded) {
                                    // An older best game must not stand for the new score.
                                    if (!superseded) sys::RemoveFile(best);
                                    LogMessage("Error copying my best replay file", lkWarning);
                                });
        } else {
            sys::RemoveFile(best);
            LogMessage("Error copying my best replay file", lkWarning);
        }
    }
    SaveSettings();
    return row;
}

void TGameCore::StoreLevelStats() {
    TScenarioProgress& progress = Progress();
    ++progress.LevelsFinished;
    // Only the first level has a block in the record.
    if (Logic && Logic->LevelNumber == 1) progress.LastGameStats = Logic->Statistics;
    SaveSettings();
}

void TGameCore::SaveLastReplay() {
    if (!Logic || Logic->Mode != gmLive || Logic->TickCount <= 0) return;
    try {
        TReplayFile(LastReplayPath(Resources().CurrentSlot())).AddLevelAndSaveLater(*Logic);
    } catch (const std::exception& e) {
        LogMessage("Failed to record replay: " + std::string(e.what()), lkError);
    }
}

}  // namespace qv
