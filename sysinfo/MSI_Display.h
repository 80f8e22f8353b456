// The display: adapter name and driver, video memory and firmware where
// the driver tells them, the desktop's resolution and colour depth, and the
// display modes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sysinfo/MSI_Common.h"

namespace qv {

// Capability sets (bit = the GDI value of the member). A screen offers what
// the program's 2D painter (Qt's raster engine) draws on it.
enum TCurveCap : std::uint32_t {
    ccCircles = 0x1, ccPieWedges = 0x2, ccChords = 0x4, ccEllipses = 0x8, ccWideBorders = 0x10,
    ccStyledBorders = 0x20, ccWideStyledBorders = 0x40, ccInteriors = 0x80, ccRoundedRects = 0x100,
};
enum TLineCap : std::uint32_t {
    lcPolylines = 0x2, lcMarkers = 0x4, lcMultipleMarkers = 0x8, lcWideLines = 0x10, lcStyledLines = 0x20,
    lcWideStyledLines = 0x40, lcInteriors = 0x80,
};
enum TPolygonCap : std::uint32_t {
    pcAltFillPolygons = 0x1, pcRectangles = 0x2, pcWindingFillPolygons = 0x4, pcSingleScanlines = 0x8,
    pcWideBorders = 0x10, pcStyledBorders = 0x20, pcWideStyledBorders = 0x40, pcInteriors = 0x80,
};
enum TRasterCap : std::uint32_t {
    rcRequiresBanding = 0x2, rcTranserBitmaps = 0x1, rcBitmaps64K = 0x8, rcSetGetDIBits = 0x80,
    rcSetDIBitsToDevice = 0x200, rcFloodfills = 0x1000, rcWindows2xFeatures = 0x10, rcPaletteBased = 0x100,
    rcScaling = 0x4, rcStretchBlt = 0x800, rcStretchDIBits = 0x2000,
};
enum TTextCap : std::uint32_t {
    tcCharOutPrec = 0x1, tcStrokeOutPrec = 0x2, tcStrokeClipPrec = 0x4, tcCharRotation90 = 0x8,
    tcCharRotationAny = 0x10, tcScaleIndependent = 0x20, tcDoubledCharScaling = 0x40, tcIntMultiScaling = 0x80,
    tcAnyMultiExactScaling = 0x100, tcDoubleWeightChars = 0x200, tcItalics = 0x400, tcUnderlines = 0x800,
    tcStrikeouts = 0x1000, tcRasterFonts = 0x2000, tcVectorFonts = 0x4000, tcNoScrollUsingBlts = 0x10000,
};
using TCurveCaps = std::uint32_t;
using TLineCaps = std::uint32_t;
using TPolygonCaps = std::uint32_t;
using TRasterCaps = std::uint32_t;
using TTextCaps = std::uint32_t;

// The text of a device technology value 0-6; "" for any other.
const char* TechnologyText(int technology);

// The capability values of a device, bit for bit as GDI words them.
struct TDeviceCapValues {
    std::uint32_t Curve = 0, Line = 0, Polygon = 0, Raster = 0, Text = 0;
};
// What the raster painter offers a screen.
TDeviceCapValues RasterPainterCaps();

// The shape of a pixel in a square-pixel display's units: 36 across and
// down, 51 along the diagonal for square pixels; the shorter side stays 36.
struct TPixelAspect {
    std::int32_t Width = 0, Height = 0, Diagonal = 0;
};
// From the horizontal and vertical resolution (dots per inch); square when
// either is unknown (0).
TPixelAspect PixelAspectOf(float horizontalDpi, float verticalDpi);

class TDisplay : public TInfoObject {
public:
    explicit TDisplay(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TDisplay"; }
    void GetInfo() override;
    // Empties the five sets and fills them member by member from `values`;
    // bits without a member are dropped. The curve, line and polygon sets
    // are only touched when their value is not 0.
    void SetCaps(const TDeviceCapValues& values);

    std::int32_t VertRes = 0, ColorDepth = 0, HorzRes = 0;
    std::string BIOSDate;     // no counterpart: ""
    std::string BIOSVersion;  // the card's firmware version where the driver gives it
    std::int32_t PixelDiagonal = 0, PixelHeight = 0;  // see TPixelAspect; 0 without a screen
    std::int32_t VertSize = 0;                        // millimetres, from the resolution
    std::int32_t PixelWidth = 0;
    std::int32_t HorzSize = 0;
    std::string Technology;
    TCurveCaps CurveCaps = 0;
    TLineCaps LineCaps = 0;
    TPolygonCaps PolygonCaps = 0;
    TRasterCaps RasterCaps = 0;
    TTextCaps TextCaps = 0;
    std::int64_t Memory = 0;  // bytes of video memory where the driver gives it
    std::string Chipset;      // the driver ("i915", "amdgpu")
    std::string Adapter;
    // The analogue outputs of the adapter, each driven by a DAC, as the kernel
    // names them ("VGA-1"); "" for an adapter with digital outputs only.
    std::string DAC;
    std::vector<std::string> Modes;  // "800 x 600 - 16 bit"
    std::uint32_t FontResolution = 0;  // dots per inch, vertically
};

}  // namespace qv
