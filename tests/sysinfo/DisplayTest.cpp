#include <gtest/gtest.h>

#include <filesystem>

#include "platform/sysinfo/GraphicsRuntime.h"
#include "sysinfo/MSI_Display.h"
#include "tests/sysinfo/SysFixture.h"

#include <SDL.h>

namespace qv {
namespace {

sysinfo::TScreenInfo Screen800() {
    sysinfo::TScreenInfo screen;
    screen.Valid = true;
    screen.Desktop = {1920, 1080, 32};
    screen.HorizontalDpi = 96;
    screen.VerticalDpi = 96;
    screen.Modes = {{1920, 1080, 32}, {800, 600, 16}, {800, 600, 16}, {640, 480, 32}};
    return screen;
}

TEST(DisplayTest, BootAdapterAndScreenModes) {
    test::SysFixture fx;
    fx.BuildDesktop();
    fx.Write("/sys/devices/pci0000:00/0000:00:02.0/mem_info_vram_total", "8573157376\n");
    fx.Write("/sys/devices/pci0000:00/0000:00:02.0/vbios_version", "113-D4120100-100\n");
    fx.Source().Screen = Screen800;
    TDisplay display(fx.Source());
    display.GetInfo();
    EXPECT_EQ(display.Adapter, "Intel Corporation AlderLake-S GT1");
    EXPECT_EQ(display.Chipset, "i915");
    EXPECT_EQ(display.DAC, "");
    EXPECT_EQ(display.Memory, 8573157376LL);  // more than 32 bits hold
    EXPECT_EQ(display.BIOSVersion, "113-D4120100-100");
    EXPECT_EQ(display.HorzRes, 1920);
    EXPECT_EQ(display.VertRes, 1080);
    EXPECT_EQ(display.ColorDepth, 32);
    EXPECT_EQ(display.FontResolution, 96u);
    EXPECT_EQ(display.HorzSize, 508);
    EXPECT_EQ(display.VertSize, 286);
    EXPECT_EQ(display.Technology, "Raster Display");
    EXPECT_EQ(display.RasterCaps, 0u);
    // Modes differing only in what is not shown are kept twice.
    EXPECT_EQ(display.Modes, (std::vector<std::string>{"1920 x 1080 - 32 bit", "800 x 600 - 16 bit",
                                                       "800 x 600 - 16 bit", "640 x 480 - 32 bit"}));
}

TEST(DisplayTest, AdapterWithoutModelNameShowsItsIds) {
    test::SysFixture fx;
    fx.BuildDesktop();
    std::filesystem::remove(fx.Source().PathOf("/run/udev/data/+pci:0000:00:02.0"));
    fx.Source().Screen = Screen800;
    TDisplay display(fx.Source());
    display.GetInfo();
    EXPECT_EQ(display.Adapter, "8086:4680");
}

TEST(DisplayTest, NoAdapterStillFillsTheScreen) {
    test::SysFixture fx;
    fx.Source().Screen = Screen800;
    TDisplay display(fx.Source());
    display.GetInfo();
    EXPECT_EQ(display.Adapter, "");
    EXPECT_EQ(display.Chipset, "");
    EXPECT_EQ(display.DAC, "");
    EXPECT_EQ(display.Memory, 0);
    EXPECT_EQ(display.HorzRes, 1920);
    EXPECT_EQ(display.Modes.size(), 4u);

    test::SysFixture none;  // no display to ask either
    TDisplay empty(none.Source());
    empty.GetInfo();
    EXPECT_EQ(empty.HorzRes, 0);
    EXPECT_EQ(empty.Technology, "");
    EXPECT_TRUE(empty.Modes.empty());
}

TEST(DisplayTest, TechnologyTextsAndCapabilityBits) {
    EXPECT_STREQ(TechnologyText(0), "Vector Plotter");
    EXPECT_STREQ(TechnologyText(1), "Raster Display");
    EXPECT_STREQ(TechnologyText(6), "Display File");
    EXPECT_STREQ(TechnologyText(7), "");
    EXPECT_STREQ(TechnologyText(-1), "");
    EXPECT_EQ(rcTranserBitmaps, 0x1u);
    EXPECT_EQ(rcRequiresBanding, 0x2u);
    EXPECT_EQ(tcNoScrollUsingBlts, 0x10000u);
}

TEST(DisplayTest, BitDepthsAsTheRendererNamesThem) {
    EXPECT_EQ(sysinfo::DisplayBitDepth(SDL_PIXELFORMAT_RGB565), 16);
    EXPECT_EQ(sysinfo::DisplayBitDepth(SDL_PIXELFORMAT_RGB555), 16);
    EXPECT_EQ(sysinfo::DisplayBitDepth(SDL_PIXELFORMAT_RGB888), 32);  // 24 bits of colour in 32
    EXPECT_EQ(sysinfo::DisplayBitDepth(SDL_PIXELFORMAT_ARGB8888), 32);
    EXPECT_EQ(sysinfo::DisplayBitDepth(SDL_PIXELFORMAT_INDEX8), 8);
}

TEST(DisplayTest, ThisMachinesScreen) {
    TDisplay display;
    display.GetInfo();
    // Under the offscreen driver there is one desktop mode.
    if (display.HorzRes > 0) {
        EXPECT_GT(display.VertRes, 0);
        EXPECT_FALSE(display.Modes.empty());
        EXPECT_EQ(display.Technology, "Raster Display");
    }
}

}  // namespace
}  // namespace qv
