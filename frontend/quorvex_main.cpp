// The Quorvex program body.
#include <cstdio>
#include <exception>

#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "platform/system/Files.h"

int main(int argc, char** argv) {
    using namespace qv;
    InitializeGlobals(argc, argv);
    if (UninstallRequested) return 0;

    if (IsAnotherInstanceRunning()) {
        std::fprintf(stderr, "Duplicated instance. Application will close.\n");
        return 1;
    }

    int result = 0;
    SetLogFile(UserDataDir + kLogFileName);
    LogBeginRun();
    try {
        LogMessage(std::string(kProductName) + " " + QUORVEX_VERSION_STRING + " started", lkInfo);
        LogMessage("Program folder: " + ProgramDir, lkInfo);
        LogMessage("User data folder: " + UserDataDir, lkInfo);
        LogMessage("Common data folder: " + CommonDataDir, lkInfo);

        SetLanguageResourceOpener([](const std::string& name) { return sys::ReadFileText(ProgramDir + name); });
        SetLanguage(ReadLanguageIndex());
        std::printf("%s %s\n", kProductName, QUORVEX_VERSION_STRING);
        std::printf("Log: %s%s\n", UserDataDir.c_str(), kLogFileName);
    } catch (const std::exception& e) {
        LogMessage(std::string("Start-up failed: ") + e.what(), lkError);
        std::fprintf(stderr, "%s\n", e.what());
        result = 1;
    }
    LogEndRun();
    FinalizeGlobals();
    return result;
}
