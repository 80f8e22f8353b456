// Folders in a fresh temporary tree, the program's real resource pack and
// language texts from the build, and a QApplication on the offscreen
// platform: what the front end's windows need.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "foundation/qv3Environment.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "game/assets/qv3Resources.h"
#include "platform/system/Files.h"
#include "tests/frontend/QtApp.h"
#include "tests/support/TempDir.h"

namespace qv::test {

class FrontendFixture : public ::testing::Test {
protected:
    void SetUp() override {
        QtApp();
        saved_ = {ProgramDir, UserDataDir, CommonDataDir};
        ProgramDir = BinaryDir();
        UserDataDir = dir_ / "user/";
        CommonDataDir = dir_ / "common/";
        sys::CreateDirectories(UserDataDir);
        sys::CreateDirectories(CommonDataDir);
        SetLogFile(UserDataDir + "quorvex.log");
        SetLanguageResourceOpener([](const std::string& name) { return sys::ReadFileText(ProgramDir + name); });
        SetLanguage(0);
        Environment.SetDefaults(0, 1);
    }
    void TearDown() override {
        GameResources.reset();
        SetLanguageResourceOpener(nullptr);
        SetLogFile("");
        ProgramDir = saved_[0];
        UserDataDir = saved_[1];
        CommonDataDir = saved_[2];
    }
    // The resource manager over the build's program pack and the common folder.
    void MakeResources() {
        GameResources = std::make_unique<TQVX3Resources>(CommonDataDir, ProgramDir + kProgramResourceFile);
    }
    std::string Log() const { return sys::ReadFileText(UserDataDir + "quorvex.log").value_or(""); }

    TempDir dir_;
    std::array<std::string, 3> saved_;
};

}  // namespace qv::test
