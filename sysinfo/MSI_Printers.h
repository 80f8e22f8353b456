// The printers the print system knows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sysinfo/MSI_Common.h"

namespace qv {

class TPrinters : public TInfoObject {
public:
    explicit TPrinters(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TPrinters"; }
    void GetInfo() override;

    std::vector<std::string> Names;
    std::vector<std::string> Ports;  // where each prints to, in the order of Names
    std::int32_t DefaultIndex = -1;  // -1 when there is no default printer
};

}  // namespace qv
