// What SDL and the GL driver say about themselves, for the inventory's
// graphics-runtime facts.
#pragma once

#include "platform/sysinfo/SysSource.h"

namespace qv::sysinfo {

// SDL's linked version and render drivers always; the GL version and
// renderer from a hidden 1 x 1 window when one can be made, asked once per
// process (the video subsystem is started for it when it is not running,
// and left running).
TGraphicsRuntime QueryGraphicsRuntime();

// The first display's desktop mode, resolution and modes; not valid when
// video cannot start. The video subsystem is started when it is not
// running, and left running.
TScreenInfo QueryScreen();

// The bit depth a display mode's SDL pixel format stands for in the
// renderer layer: 16 for the 15- and 16-bit formats, 32 for 24 bits and
// more, SDL's own count otherwise.
int DisplayBitDepth(std::uint32_t sdlFormat);

}  // namespace qv::sysinfo
