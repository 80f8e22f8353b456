#include "tests/render/RenderTestSupport.h"

#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <SDL.h>
#include <gtest/gtest.h>

#include "foundation/TextUtil.h"
#include "foundation/qv3Log.h"
#include "platform/system/Files.h"

namespace qv::test {

namespace {

class TKeepGlLoaded final : public ::testing::Environment {
public:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)
            SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL);  // never closed
    }
};

}  // namespace

bool KeepGlLoaded() {
    static const bool registered = [] {
        ::testing::AddGlobalTestEnvironment(new TKeepGlLoaded);
        return true;
    }();
    return registered;
}

TLogCapture::TLogCapture() : path_(dir_ / "quorvex.log") { SetLogFile(path_); }

TLogCapture::~TLogCapture() { SetLogFile(""); }

std::vector<std::string> TLogCapture::Lines() const {
    return SplitLines(sys::ReadFileText(path_).value_or(""));
}

int TLogCapture::Count(const std::string& text) const {
    int n = 0;
    for (const std::string& line : Lines()) n += line.find(text) != std::string::npos ? 1 : 0;
    return n;
}

void TLogCapture::Clear() const { dir_.Write("quorvex.log", ""); }

TFakeRig::TFakeRig(const std::function<void(d3d::TFakeAdapter&)>& setup, bool windowed, std::uint32_t refreshRate,
                   std::uint32_t interval)
    : World(std::make_shared<d3d::TFakeWorld>()) {
    World->Adapters.push_back(d3d::StandardFakeAdapter());
    if (setup) setup(World->Adapters[0]);
    D3D = std::make_unique<TzkD3D8>([w = World] { return d3d::CreateFakeDirect3D8(w); });
    D3D->EnumerateAdapters();
    TzkD3DDeviceInfo* info = D3D->Adapters(0)->Devices(0);
    TzkD3DMode mode;
    for (int i = 0; i < info->ModeCount(); ++i) {
        info->GetMode(i, mode);
        if (mode.Format == d3d::D3DFMT_X8R8G8B8) break;
    }
    Device = std::make_unique<TzkD3Device8>(info, nullptr, nullptr, windowed, mode, refreshRate, interval);
    Device->Sleep = [this](std::uint32_t ms) { Sleeps.push_back(ms); };
    World->ClearRecord();
}

TFakeRig::~TFakeRig() {
    Device.reset();
    D3D.reset();
}

}  // namespace qv::test
