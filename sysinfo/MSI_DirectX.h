// The graphics runtime: the media layer's version and the graphics
// library behind it.
#pragma once

#include <string>
#include <vector>

#include "sysinfo/MSI_Common.h"

namespace qv {

class TDirectX : public TInfoObject {
public:
    explicit TDirectX(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TDirectX"; }
    void GetInfo() override;

    // "SDL 2.26.5"; empty without the media layer.
    std::string Version;
    // "OpenGL <version> (<renderer>)" when a GL context could be made,
    // then one "SDL <name> renderer" per render driver.
    std::vector<std::string> Direct3D;
    std::vector<std::string> DirectPlay;   // the session transport (dpn::TransportName)
    std::vector<std::string> DirectMusic;  // no counterpart: empty
};

}  // namespace qv
