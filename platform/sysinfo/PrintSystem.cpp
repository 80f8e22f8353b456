#include "platform/sysinfo/PrintSystem.h"

#include <cups/cups.h>

namespace qv::sysinfo {

std::vector<TPrinterDest> QueryPrintSystem() {
    std::vector<TPrinterDest> result;
    cups_dest_t* dests = nullptr;
    // The local server only: no browsing of the network.
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    for (int i = 0; i < count; ++i) {
        const cups_dest_t& dest = dests[i];
        TPrinterDest d;
        d.Name = dest.name ? dest.name : "";
        if (dest.instance) d.Name += std::string("/") + dest.instance;
        const char* uri = cupsGetOption("device-uri", dest.num_options, dest.options);
        if (!uri) uri = cupsGetOption("printer-uri-supported", dest.num_options, dest.options);
        d.DeviceUri = uri ? uri : "";
        d.IsDefault = dest.is_default != 0;
        result.push_back(std::move(d));
    }
    cupsFreeDests(count, dests);
    return result;
}

}  // namespace qv::sysinfo
