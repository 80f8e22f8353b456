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

}  // namespace qv::sysinfo
