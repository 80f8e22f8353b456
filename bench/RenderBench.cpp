// Drawing speed of the renderer on the GL renderer of SDL's offscreen video
// driver: frames per second of 1 000 and 3 000 sprites of 64 x 64 in one
// batch; and the time to load the game's whole image set.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/qv3Log.h"
#include "game/assets/qv3Graphics.h"
#include "game/assets/qv3Resources.h"
#include "game/data/qv3SpriteBoundaries.h"
#include "media/zkD3D.h"
#include "media/zkDisplayMode.h"
#include "media/zkD3DQuadRenderer.h"
#include "media/zkD3DTextures.h"
#include "platform/render/SdlD3D8.h"
#include "platform/resources/ResourcePackWriter.h"
#include "tests/support/Pictures.h"

namespace {

using namespace qv;

// One offscreen GL device for the whole program.
struct TBenchDevice {
    TBenchDevice() {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        d3d = std::make_unique<TzkD3D8>();
        d3d->EnumerateAdapters();
        TzkD3DDeviceInfo* info = d3d->Adapters(0)->Devices(0);
        TzkD3DMode mode;
        if (!FindDisplayMode(info, kDisplayWindow, mode)) throw std::runtime_error("No 800 x 600 window mode");
        device = std::make_unique<TzkD3Device8>(info, nullptr, nullptr, true, mode);
        renderer = d3d::SdlRendererName(device->Device.get());
    }
    std::unique_ptr<TzkD3D8> d3d;
    std::unique_ptr<TzkD3Device8> device;
    std::string renderer;
};

TBenchDevice& Bench() {
    static TBenchDevice bench;
    return bench;
}

void BM_SpritesInOneBatch(benchmark::State& state) {
    TBenchDevice& b = Bench();
    const int count = static_cast<int>(state.range(0));
    TBitmap image(64, 64), mask(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            image.At(x, y) = static_cast<std::uint32_t>((x * 4) << 16 | (y * 4) << 8 | 0x80);
            mask.At(x, y) = (x + y) % 2 ? 0x00FFFFFFu : 0x00808080u;
        }
    auto* texture = new TzkD3DTexture8(b.device.get(), nullptr, &image, &mask, 0, 0, 0, {d3d::D3DFMT_A8R8G8B8});
    auto* quads = new TzkD3DQuadRenderer(b.device.get(), 3000);
    auto* sprite = new TzkD3DSprite(quads, texture->Index, nullptr, nullptr, 0, 0, 100);
    for (auto _ : state) {
        b.device->CheckDevice();
        b.device->BeginScene();
        for (int i = 0; i < count; ++i) {
            const TPointF at{static_cast<float>((i * 37) % 760), static_cast<float>((i * 53) % 560)};
            sprite->Draw(nullptr, at, static_cast<float>(i % 7) * 0.1f, nullptr);
        }
        b.device->RenderScene();
        b.device->EndScene();
        b.device->Present();
        b.device->FlushScene();
    }
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetLabel(b.renderer);
    delete quads;  // frees the sprite
    delete texture;
}
BENCHMARK(BM_SpritesInOneBatch)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond)->UseRealTime();

std::vector<std::uint8_t> Png(std::uint32_t side, std::uint32_t seed) {
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(side) * side * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>((i * 7 + seed * 31) ^ (i >> 9));
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = side;
    png.height = side;
    png.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&png, nullptr, &size, 0, rgb.data(), 0, nullptr);
    std::vector<std::uint8_t> out(size);
    png_image_write_to_memory(&png, out.data(), &size, 0, rgb.data(), 0, nullptr);
    out.resize(size);
    return out;
}

std::vector<std::uint8_t> Jpeg(std::uint32_t side) {
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(side) * side * 3);
    const std::size_t rowBytes = static_cast<std::size_t>(side) * 3;
    for (std::size_t y = 0; y < side; ++y)
        for (std::size_t i = 0; i < rowBytes; ++i) samples[y * rowBytes + i] = static_cast<std::uint8_t>(i + y);
    return test::EncodeJpeg(side, side, 3, samples, 75);
}

// The 32 pictures (256 x 256 PNGs with masks, 512 x 512 JPEG backgrounds)
// in a program pack of their own.
void BM_LoadImageSet(benchmark::State& state) {
    TBenchDevice& b = Bench();
    const std::string folder = std::filesystem::temp_directory_path() / ("quorvex-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string packPath = folder + "/quorvex.dat";
    {
        sys::TResourcePackWriter pack;
        std::uint32_t seed = 0;
        for (const TGameTextureEntry& e : GameTextureTable) {
            const bool back = std::string(e.Name).rfind("Back", 0) == 0;
            if (back)
                pack.Add(kSharedResourceType, std::string(e.Name) + ".jpg", Jpeg(512));
            else
                pack.Add(kSharedResourceType, std::string(e.Name) + ".png", Png(256, ++seed));
            if (e.Mask) pack.Add(kSharedResourceType, std::string(e.Mask) + ".png", Png(256, ++seed));
        }
        const TSpriteBoundary decor[] = {{0, 0, 0, 100, 50}, {1, 10, 20, 70, 90}, {2, 0, 0, 64, 64}, {3, 5, 5, 9, 9}};
        pack.Add(kSharedResourceType, "decor.bnd", WriteSpriteBoundaries(0, decor));
        if (!pack.Save(packPath)) {
            state.SkipWithError("cannot write the resource pack");
            return;
        }
    }
    TQVX3Resources resources(folder, packPath);
    for (auto _ : state) {
        TGameGraphics graphics(b.device.get(), 3000, &resources);
        graphics.LoadTextures(0, 1, 100);
        benchmark::DoNotOptimize(graphics.TexturesLoaded);
    }
    state.SetLabel(b.renderer);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadImageSet)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
