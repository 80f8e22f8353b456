#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>

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
    // A mode of no size, as a driver without real modes lists it, is no mode.
    screen.Modes = {{1920, 1080, 32}, {800, 600, 16}, {0, 0, 0}, {800, 600, 16}, {640, 0, 8}, {640, 480, 32}};
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
    EXPECT_EQ(display.PixelWidth, 36);  // square pixels
    EXPECT_EQ(display.PixelHeight, 36);
    EXPECT_EQ(display.PixelDiagonal, 51);
    EXPECT_EQ(display.CurveCaps, 0x1FFu);  // every member
    EXPECT_EQ(display.LineCaps, 0xFEu);
    EXPECT_EQ(display.PolygonCaps, 0xFFu);
    EXPECT_EQ(display.RasterCaps, TRasterCaps{rcTranserBitmaps | rcScaling | rcBitmaps64K | rcSetGetDIBits |
                                              rcSetDIBitsToDevice | rcStretchBlt | rcFloodfills | rcStretchDIBits});
    EXPECT_EQ(display.TextCaps & (tcRasterFonts | tcNoScrollUsingBlts), 0u);
    EXPECT_EQ(display.TextCaps & (tcVectorFonts | tcCharRotationAny | tcAnyMultiExactScaling | tcItalics),
              TTextCaps{tcVectorFonts | tcCharRotationAny | tcAnyMultiExactScaling | tcItalics});
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

    EXPECT_EQ(display.PixelDiagonal, 51);
    EXPECT_EQ(display.RasterCaps, RasterPainterCaps().Raster);

    test::SysFixture none;  // no display to ask either
    TDisplay empty(none.Source());
    empty.GetInfo();
    EXPECT_EQ(empty.HorzRes, 0);
    EXPECT_EQ(empty.PixelWidth, 0);
    EXPECT_EQ(empty.RasterCaps, 0u);
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

TEST(DisplayTest, CapabilitySetsFromDeviceValues) {
    TDisplay display;
    display.SetCaps({0, 0, 0, 0x1, 0});  // only the bit-block bit
    EXPECT_EQ(display.RasterCaps, TRasterCaps{rcTranserBitmaps});
    EXPECT_EQ(display.TextCaps, 0u);

    // Bits without a member (0x20, 0x40, 0x400, 0x4000, 0x8000 of the raster
    // value; 0x1 of the line value; 0x8000 of the text value) are dropped.
    display.SetCaps({0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFu, 0x1FFFFu});
    EXPECT_EQ(display.CurveCaps, 0x1FFu);
    EXPECT_EQ(display.LineCaps, 0xFEu);
    EXPECT_EQ(display.PolygonCaps, 0xFFu);
    EXPECT_EQ(display.RasterCaps, 0x3B9Fu);
    EXPECT_EQ(display.TextCaps, 0x17FFFu);

    // A curve, line or polygon value of 0 leaves its set as it was; the
    // raster and text sets are always set again.
    display.SetCaps({0, 0, pcRectangles, 0, tcItalics});
    EXPECT_EQ(display.CurveCaps, 0x1FFu);
    EXPECT_EQ(display.LineCaps, 0xFEu);
    EXPECT_EQ(display.PolygonCaps, TPolygonCaps{pcRectangles});
    EXPECT_EQ(display.RasterCaps, 0u);
    EXPECT_EQ(display.TextCaps, TTextCaps{tcItalics});
}

TEST(DisplayTest, PixelAspectFromTheTwoResolutions) {
    const struct {
        float Horizontal, Vertical;
        std::int32_t Width, Height, Diagonal;
    } kCases[] = {
        {96, 96, 36, 36, 51},   {144, 144, 36, 36, 51}, {0, 96, 36, 36, 51},  {96, 0, 36, 36, 51},
        {96, 48, 36, 72, 80},   {48, 96, 72, 36, 80},   {96, 72, 36, 48, 60}, {-5, 96, 36, 36, 51},
    };
    for (const auto& c : kCases) {
        const TPixelAspect aspect = PixelAspectOf(c.Horizontal, c.Vertical);
        EXPECT_EQ(aspect.Width, c.Width) << c.Horizontal << " x " << c.Vertical;
        EXPECT_EQ(aspect.Height, c.Height) << c.Horizontal << " x " << c.Vertical;
        EXPECT_EQ(aspect.Diagonal, c.Diagonal) << c.Horizontal << " x " << c.Vertical;
    }
}

TEST(DisplayTest, DacNamesTheAdaptersAnalogueOutputs) {
    test::SysFixture fx;
    fx.BuildDesktop();
    const std::string drm = "/sys/devices/pci0000:00/0000:00:02.0/drm/";
    for (const char* output : {"card0-DVI-I-1", "card0-HDMI-A-1", "card0-VGA-1", "card0-eDP-1"})
        fx.Write(drm + "card0/" + output + "/status", "connected\n");
    fx.Write(drm + "card0/dev", "226:0\n");
    fx.Write(drm + "renderD128/dev", "226:128\n");
    fx.Source().Screen = Screen800;
    TDisplay display(fx.Source());
    display.GetInfo();
    EXPECT_EQ(display.DAC, "DVI-I-1, VGA-1");

    test::SysFixture digital;  // digital outputs only: no DAC
    digital.BuildDesktop();
    digital.Write(drm + "card0/card0-HDMI-A-1/status", "connected\n");
    TDisplay flat(digital.Source());
    flat.GetInfo();
    EXPECT_EQ(flat.DAC, "");
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
    // The offscreen driver lists no real mode.
    if (display.HorzRes > 0) {
        EXPECT_GT(display.VertRes, 0);
        for (const std::string& mode : display.Modes) EXPECT_NE(mode.rfind("0 x ", 0), 0u) << mode;
        EXPECT_EQ(display.Technology, "Raster Display");
        EXPECT_GE(display.PixelDiagonal, 51);
    }
    std::cout << "Display: adapter \"" << display.Adapter << "\", chipset \"" << display.Chipset << "\", DAC \""
              << display.DAC << "\", memory " << display.Memory << "\n"
              << "  " << display.HorzRes << " x " << display.VertRes << " - " << display.ColorDepth << " bit, "
              << display.HorzSize << " x " << display.VertSize << " mm, font resolution " << display.FontResolution
              << ", technology \"" << display.Technology << "\"\n"
              << "  pixel " << display.PixelWidth << " / " << display.PixelHeight << " / " << display.PixelDiagonal
              << std::hex << ", caps curve 0x" << display.CurveCaps << " line 0x" << display.LineCaps
              << " polygon 0x" << display.PolygonCaps << " raster 0x" << display.RasterCaps << " text 0x"
              << display.TextCaps << std::dec << ", " << display.Modes.size() << " modes\n";
    for (const std::string& mode : display.Modes) std::cout << "  " << mode << "\n";
}

}  // namespace
}  // namespace qv
