#include "sysinfo/MSI_Display.h"

#include <cmath>

#include "sysinfo/MSI_Devices.h"

namespace qv {

const char* TechnologyText(int technology) {
    static constexpr const char* kTexts[7] = {"Vector Plotter",   "Raster Display", "Raster Printer", "Raster Camera",
                                              "Character Stream", "Metafile",       "Display File"};
    return technology >= 0 && technology < 7 ? kTexts[technology] : "";
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
        const std::string vram = source.ReadLine(adapter.RegKey + "/mem_info_vram_total");
        if (!vram.empty() && vram.size() <= 18 && vram.find_first_not_of("0123456789") == std::string::npos)
            Memory = std::stoll(vram);
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
    if (screen.Valid) Technology = TechnologyText(1);  // a screen is a raster display
    PixelWidth = PixelHeight = PixelDiagonal = 0;
    CurveCaps = LineCaps = PolygonCaps = RasterCaps = TextCaps = 0;

    Modes.clear();
    for (const sysinfo::TScreenMode& mode : screen.Modes)
        Modes.push_back(std::to_string(mode.Width) + " x " + std::to_string(mode.Height) + " - " +
                        std::to_string(mode.BitsPerPixel) + " bit");
}

}  // namespace qv
