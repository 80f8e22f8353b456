#include "sysinfo/MSI_Printers.h"

namespace qv {

void TPrinters::GetInfo() {
    Names.clear();
    Ports.clear();
    DefaultIndex = -1;
    for (const sysinfo::TPrinterDest& d : Source().Printers()) {
        if (d.IsDefault && DefaultIndex < 0) DefaultIndex = static_cast<std::int32_t>(Names.size());
        Names.push_back(d.Name);
        Ports.push_back(d.DeviceUri);
    }
}

}  // namespace qv
