// Hostile resource packs: opening and reading every resource either works
// or raises the container's error.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/resources/ResourceContainer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        auto pack = qv::sys::TResourceContainer::OpenMemory(std::vector<std::uint8_t>(data, data + size));
        for (const auto& e : pack->Entries()) {
            if (!pack->Has(e.Type, e.Name)) __builtin_trap();
            try {
                const auto bytes = pack->Read(e.Type, e.Name);
                if (!bytes || bytes->size() != e.Size) __builtin_trap();
            } catch (const qv::sys::EResourceError&) {
            }
        }
    } catch (const qv::sys::EResourceError&) {
    }
    return 0;
}
