#include "frontend/online/qv3WorldBest.h"

#include <QByteArray>

#include <span>

#include "foundation/TextUtil.h"
#include "foundation/qv3Environment.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3HostList.h"
#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3OnlineUi.h"
#include "frontend/online/qv3Transfer.h"
#include "frontend/qv3SettingsFile.h"
#include "game/core/qv3ReplayFiles.h"
#include "game/logic/qv3ReplayPack.h"
#include "platform/system/Files.h"

namespace qv {

std::string EncodeUrlComponent(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size())).toPercentEncoding().toStdString();
}

bool IsWorldBestFileName(const std::string& name) {
    if (name.empty() || name.size() > kWorldBestFileNameLimit || name.front() == '.') return false;
    for (char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '.' || c == '_' || c == '-';
        if (!allowed) return false;
    }
    return true;
}

void TWorldBestDownload::Changed() {
    if (OnStateChanged) OnStateChanged();
}

void TWorldBestDownload::Run() {
    replayEnabled_ = false;
    try {
        if (slot_ < 0 || slot_ >= static_cast<int>(kScenarioSlotCount)) throw Exception("No scenario selected");
        if (!CheckInternet(true)) {
            if (HostWaitCancelled()) throw ETransferAborted();
            throw Exception("Operation aborted");
        }
        TScenarioProgress& progress = Environment.Scenarios[slot_];
        checkState_ = kStepRunning;
        Changed();
        const std::string known = progress.WorldBestFile.empty() ? std::string("REQ") : progress.WorldBestFile.Str();
        // A reply with a line end is still the word or the name it holds.
        const std::string reply = TrimText(HttpGetText(ScorePrefix() + "firstplace.php?f=" +
                                                       EncodeUrlComponent(known) + "&tid=" + std::to_string(slot_),
                                                   kMaxTextReplyBytes));
        // Anything but the two words and a file name is no answer.
        if (!SameTextNoCase(reply, "OK") && reply != "ERR" && !IsWorldBestFileName(reply))
            throw Exception("The server's answer is not a file name");
        checkState_ = kStepDone;
        Changed();
        if (SameTextNoCase(reply, "OK")) {
            downloadState_ = kStepDone;
            replayEnabled_ = true;
            Changed();
            return;
        }
        // A name with control bytes in it is no file name to keep in the settings.
        if (reply == "ERR" || HasControlBytes(reply)) {
            downloadState_ = kStepFailed;
            Changed();
            ShowOnlineMessage(TMessageKind::Plain, kWorldBestUnavailableText);
            return;
        }
        downloadState_ = kStepRunning;
        Changed();
        // The worker downloads, reads and stores the replay: the window
        // never handles its bytes. At most what the replay reader takes, and
        // the local replay is replaced only once the download reads as one.
        RunTransfer([url = ScorePrefix() + "upload/" + EncodeUrlComponent(reply), path = WorldBestReplayPath(slot_)] {
            const std::string bytes = HttpGetBytes(url, kMaxReplayFileSize);
            const TReplayPack pack = TReplayPack::FromStream(
                std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
            if (pack.LevelCount() == 0) throw Exception(kWorldBestInvalidText);
            ThrowIfTransferAborted();
            std::string error;
            if (!sys::WriteFileAtomic(path, bytes, &error, sys::kPrivateFileMode)) throw Exception(error);
            return std::string();
        });
        progress.WorldBestFile = reply;
        downloadState_ = kStepDone;
        replayEnabled_ = true;
        SaveSettings();
        Changed();
    } catch (const std::exception& e) {
        if (checkState_ != kStepDone) checkState_ = kStepFailed;
        downloadState_ = kStepFailed;
        replayEnabled_ = false;
        Changed();
        // Cancelled: no error to report.
        if (dynamic_cast<const ETransferAborted*>(&e)) return;
        LogMessage(std::string("Error fetching world's best game replay file: ") + e.what(), lkWarning);
        ShowOnlineMessage(TMessageKind::Plain, kWorldBestFetchFailedText);
    }
}

}  // namespace qv
