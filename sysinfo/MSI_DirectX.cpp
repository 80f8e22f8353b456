#include "sysinfo/MSI_DirectX.h"

#include "platform/session/DPlay8.h"

namespace qv {

void TDirectX::GetInfo() {
    const sysinfo::TGraphicsRuntime runtime =
        Source().GraphicsRuntime ? Source().GraphicsRuntime() : sysinfo::TGraphicsRuntime{};
    Version = runtime.SdlVersion.empty() ? "" : "SDL " + runtime.SdlVersion;
    Direct3D.clear();
    DirectPlay.clear();
    DirectMusic.clear();
    // The program's one session provider: the transport of the lobby and duels.
    DirectPlay.push_back(dpn::TransportName());
    if (!runtime.GlVersion.empty()) {
        std::string gl = "OpenGL " + runtime.GlVersion;
        if (!runtime.GlRenderer.empty()) gl += " (" + runtime.GlRenderer + ")";
        Direct3D.push_back(gl);
    }
    for (const std::string& driver : runtime.RenderDrivers) Direct3D.push_back("SDL " + driver + " renderer");
}

}  // namespace qv
