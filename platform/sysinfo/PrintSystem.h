// The print system's destinations, asked of the local CUPS server.
#pragma once

#include <vector>

#include "platform/sysinfo/SysSource.h"

namespace qv::sysinfo {

// Every destination the local server knows, in its order; empty when no
// server answers.
std::vector<TPrinterDest> QueryPrintSystem();

}  // namespace qv::sysinfo
