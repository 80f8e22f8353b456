#include "platform/sysinfo/PrintSystem.h"

#include <cups/cups.h>

namespace qv::sysinfo {

namespace {

// How long the print system may take to list its destinations.
constexpr int kListTimeoutMs = 2000;

struct TCollected {
    int Count = 0;
    cups_dest_t* Dests = nullptr;
};

int Collect(void* user, unsigned flags, cups_dest_t* dest) {
    auto* collected = static_cast<TCollected*>(user);
    if (flags & CUPS_DEST_FLAGS_REMOVED)
        collected->Count = cupsRemoveDest(dest->name, dest->instance, collected->Count, &collected->Dests);
    else
        collected->Count = cupsCopyDest(dest, collected->Count, &collected->Dests);
    return 1;
}

}  // namespace

std::vector<TPrinterDest> QueryPrintSystem() {
    std::vector<TPrinterDest> result;
    // The queues of the local server and the user's instances of them only:
    // asking for no discovered printer keeps the network from being browsed.
    TCollected collected;
    cupsEnumDests(CUPS_DEST_FLAGS_NONE, kListTimeoutMs, nullptr, 0, CUPS_PRINTER_DISCOVERED, Collect, &collected);
    for (int i = 0; i < collected.Count; ++i) {
        const cups_dest_t& dest = collected.Dests[i];
        TPrinterDest d;
        d.Name = dest.name ? dest.name : "";
        if (dest.instance) d.Name += std::string("/") + dest.instance;
        const char* uri = cupsGetOption("device-uri", dest.num_options, dest.options);
        if (!uri) uri = cupsGetOption("printer-uri-supported", dest.num_options, dest.options);
        d.DeviceUri = uri ? uri : "";
        d.IsDefault = dest.is_default != 0;
        result.push_back(std::move(d));
    }
    cupsFreeDests(collected.Count, collected.Dests);
    return result;
}

}  // namespace qv::sysinfo
