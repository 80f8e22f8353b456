// What the lobby tests share: folders, log and the English texts in a
// fresh folder.
#pragma once

#include <string>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "platform/system/Files.h"
#include "platform/system/Folders.h"
#include "tests/support/EnglishTexts.h"
#include "tests/support/TempDir.h"

namespace qv::test {

class TLobbyFolders {
public:
    TLobbyFolders() {
        EnterProgramFolders(dir_);
        SetLogFile(UserDataDir + kLogFileName);
        Environment = TEnvironmentRecord{};
    }
    ~TLobbyFolders() {
        Environment = TEnvironmentRecord{};
        SetLanguageResourceOpener(nullptr);
        SetLanguage(-1);
        SetLogFile("");
        FinalizeGlobals();
    }
    TLobbyFolders(const TLobbyFolders&) = delete;
    TLobbyFolders& operator=(const TLobbyFolders&) = delete;

    std::string Log() const { return sys::ReadFileText(UserDataDir + kLogFileName).value_or(""); }
    const TempDir& Dir() const { return dir_; }

private:
    TempDir dir_;
};

}  // namespace qv::test
