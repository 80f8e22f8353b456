#include "sysinfo/MSI_Display.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "sysinfo/MSI_Devices.h"

namespace qv {

const char* TechnologyText(int technology) {
    static constexpr const char* kTexts[7] = {"Vector Plotter",   "Raster Display", "Raster Printer", "Raster Camera",
                                              "Character Stream", "Metafile",       "Display File"};
    return technology >= 0 && technology < 7 ? kTexts[technology] : "";
}

namespace {

constexpr std::uint32_t kCurveMembers[] = {ccCircles,     ccPieWedges,         ccChords,    ccEllipses,    ccWideBorders,
                                           ccStyledBorders, ccWideStyledBorders, ccInteriors, ccRoundedRects};
constexpr std::uint32_t kLineMembers[] = {lcPolylines,   lcMarkers,         lcMultipleMarkers, lcWideLines,
                                          lcStyledLines, lcWideStyledLines, lcInteriors};
constexpr std::uint32_t kPolygonMembers[] = {pcAltFillPolygons, pcRectangles,    pcWindingFillPolygons, pcSingleScanlines,
                                             pcWideBorders,     pcStyledBorders, pcWideStyledBorders,   pcInteriors};
constexpr std::uint32_t kRasterMembers[] = {rcRequiresBanding,   rcTranserBitmaps, rcBitmaps64K,        rcSetGetDIBits,
                                            rcSetDIBitsToDevice, rcFloodfills,     rcWindows2xFeatures, rcPaletteBased,
                                            rcScaling,           rcStretchBlt,     rcStretchDIBits};
constexpr std::uint32_t kTextMembers[] = {
    tcCharOutPrec,        tcStrokeOutPrec,        tcStrokeClipPrec,   tcCharRotation90, tcCharRotationAny,
    tcScaleIndependent,   tcDoubledCharScaling,   tcIntMultiScaling,  tcAnyMultiExactScaling,
    tcDoubleWeightChars,  tcItalics,              tcUnderlines,       tcStrikeouts,     tcRasterFonts,
    tcVectorFonts,        tcNoScrollUsingBlts};

template <std::size_t N>
constexpr std::uint32_t MembersOf(std::uint32_t value, const std::uint32_t (&members)[N]) {
    std::uint32_t set = 0;
    for (std::uint32_t member : members)
        if (value & member) set |= member;
    return set;
}

template <std::size_t N>
constexpr std::uint32_t AllOf(const std::uint32_t (&members)[N]) {
    return MembersOf(~0u, members);
}

// Outputs whose signal is analogue, by the kernel's connector names.
bool AnalogueOutput(std::string_view type) {
    for (std::string_view analogue : {"VGA", "DVI-I", "DVI-A", "TV", "Composite", "SVIDEO", "Component", "9PinDIN"})
        if (type == analogue) return true;
    return false;
}

// "VGA-1, TV-1" from the adapter's DRM cards ("<dev>/drm/card0/card0-VGA-1").
std::string AnalogueOutputs(const TSysSource& source, const std::string& device) {
    std::string outputs;
    for (const std::string& card : source.ListDir(device + "/drm")) {
        if (card.rfind("card", 0) != 0 || !sysinfo::ParseNumber<int>(std::string_view(card).substr(4))) continue;
        for (const std::string& entry : source.ListDir(device + "/drm/" + card)) {
            if (entry.rfind(card + "-", 0) != 0) continue;
            const std::string output = entry.substr(card.size() + 1);  // "VGA-1", "DVI-I-2"
            const std::size_t dash = output.rfind('-');
            if (dash == std::string::npos || !AnalogueOutput(std::string_view(output).substr(0, dash))) continue;
            outputs += (outputs.empty() ? "" : ", ") + output;
        }
    }
    return outputs;
}

}  // namespace

TDeviceCapValues RasterPainterCaps() {
    TDeviceCapValues caps;
    // The painter draws every curve, line and polygon GDI names, wide and
    // styled outlines and fills included.
    caps.Curve = AllOf(kCurveMembers);
    caps.Line = AllOf(kLineMembers);
    caps.Polygon = AllOf(kPolygonMembers);
    // It works on whole images in memory: no banding, true colour rather
    // than a palette, and none of the old 2.x device features.
    caps.Raster = AllOf(kRasterMembers) & ~(rcRequiresBanding | rcPaletteBased | rcWindows2xFeatures);
    // Its fonts are scalable outlines (FreeType): placed and clipped to the
    // pixel, rotated by any angle, scaled by any factor and independently
    // across and down, emboldened, slanted, underlined and struck out. It
    // draws no bitmap (raster) fonts, and it scrolls by copying pixels, so
    // the "cannot scroll by bit-block transfer" member stays out too.
    caps.Text = AllOf(kTextMembers) & ~(tcRasterFonts | tcNoScrollUsingBlts);
    return caps;
}

TPixelAspect PixelAspectOf(float horizontalDpi, float verticalDpi) {
    double width = 36, height = 36;
    if (horizontalDpi > 0 && verticalDpi > 0) {
        // A pixel is 1/dpi wide and high; the finer direction gives 36.
        const double finest = std::max(horizontalDpi, verticalDpi);
        width = 36.0 * finest / horizontalDpi;
        height = 36.0 * finest / verticalDpi;
    }
    auto round = [](double v) { return static_cast<std::int32_t>(std::min(std::nearbyint(v), 1.0e9)); };
    return {round(width), round(height), round(std::hypot(width, height))};
}

void TDisplay::SetCaps(const TDeviceCapValues& values) {
    if (values.Curve != 0) CurveCaps = MembersOf(values.Curve, kCurveMembers);
    if (values.Line != 0) LineCaps = MembersOf(values.Line, kLineMembers);
    if (values.Polygon != 0) PolygonCaps = MembersOf(values.Polygon, kPolygonMembers);
    RasterCaps = MembersOf(values.Raster, kRasterMembers);
    TextCaps = MembersOf(values.Text, kTextMembers);
}

void TDisplay::GetInfo() {
    const TSysSource& source = Source();

    // The adapter: the one the machine booted on, else the last one listed.
    TDevice adapter;
    bool boot = false;
    TDevices devices(source);
    devices.GetInfo();
    for (std::int32_t i = 0; i < devices.DeviceCount() && !boot; ++i) {
        TDevice device;
        devices.GetDevice(i, device);
        if (device.DeviceClass != kDeviceClassDisplay) continue;
        adapter = device;
        boot = source.ReadLine(device.RegKey + "/boot_vga") == "1";
    }
    Adapter = adapter.FriendlyName.empty() ? adapter.Description : adapter.FriendlyName;
    Chipset = adapter.Driver;
    DAC.clear();
    Memory = 0;
    if (!adapter.RegKey.empty()) {
        DAC = AnalogueOutputs(source, adapter.RegKey);
        const std::optional<std::int64_t> vram =
            sysinfo::ParseNumber<std::int64_t>(source.ReadLine(adapter.RegKey + "/mem_info_vram_total"));
        if (vram && *vram >= 0) Memory = *vram;
        const std::string bios = source.ReadLine(adapter.RegKey + "/vbios_version");
        if (!bios.empty()) BIOSVersion = bios;
    }

    const sysinfo::TScreenInfo screen = source.Screen ? source.Screen() : sysinfo::TScreenInfo{};
    HorzRes = screen.Desktop.Width;
    VertRes = screen.Desktop.Height;
    ColorDepth = screen.Desktop.BitsPerPixel;
    FontResolution = screen.VerticalDpi > 0 ? static_cast<std::uint32_t>(std::nearbyint(screen.VerticalDpi)) : 0;
    auto millimetres = [](int pixels, float dpi) {
        return dpi > 0 ? static_cast<std::int32_t>(std::nearbyint(pixels * 25.4 / dpi)) : 0;
    };
    HorzSize = millimetres(HorzRes, screen.HorizontalDpi);
    VertSize = millimetres(VertRes, screen.VerticalDpi);
    PixelWidth = PixelHeight = PixelDiagonal = 0;
    CurveCaps = LineCaps = PolygonCaps = RasterCaps = TextCaps = 0;
    if (screen.Valid) {
        Technology = TechnologyText(1);  // a screen is a raster display
        const TPixelAspect aspect = PixelAspectOf(screen.HorizontalDpi, screen.VerticalDpi);
        PixelWidth = aspect.Width;
        PixelHeight = aspect.Height;
        PixelDiagonal = aspect.Diagonal;
        SetCaps(RasterPainterCaps());
    }

    Modes.clear();
    for (const sysinfo::TScreenMode& mode : screen.Modes) {
        // A driver without real modes (the offscreen one) lists one of no size.
        if (mode.Width <= 0 || mode.Height <= 0) continue;
        Modes.push_back(std::to_string(mode.Width) + " x " + std::to_string(mode.Height) + " - " +
                        std::to_string(mode.BitsPerPixel) + " bit");
    }
}

}  // namespace qv
