#include "tests/support/EnglishTexts.h"

#include <gtest/gtest.h>

#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "platform/system/Files.h"

namespace qv::test {

namespace {

class TEnglishTexts final : public ::testing::Environment {
public:
    void SetUp() override { EnterProgramFolders(dir_); }
    void TearDown() override { SetLanguageResourceOpener(nullptr); }

private:
    TempDir dir_;
};

}  // namespace

void EnterProgramFolders(const TempDir& dir) {
    sys::FolderInputs in;
    in.programDir = dir / "bin/";
    in.userDataBase = dir / "share";
    in.commonDataDir = dir / "common/";
    sys::CreateDirectories(in.programDir);
    InitializeGlobals({}, in);
    SetLanguageResourceOpener([](const std::string& name) { return sys::ReadFileText(BinaryDir() + name); });
    SetLanguage(0);
}

bool UseEnglishTexts() {
    static const bool registered = [] {
        ::testing::AddGlobalTestEnvironment(new TEnglishTexts);
        return true;
    }();
    return registered;
}

}  // namespace qv::test
