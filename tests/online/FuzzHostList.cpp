// A hostile host list: whatever arrives, the six fields keep within their
// size and nothing else of the record changes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/qv3Environment.h"
#include "frontend/online/qv3HostList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    qv::TEnvironmentRecord record;
    record.ChatHost = "kept";
    const bool applied = qv::ApplyHostList(text, record);
    if (record.HighScoreHost.size() > 150 || record.SupportURL.size() > 150) __builtin_trap();
    // Only host names are taken as hosts; a reply that gave none changed nothing.
    if (!record.HighScoreHost.empty() && !qv::IsHostName(record.HighScoreHost.Str())) __builtin_trap();
    if (!qv::IsHostName(record.ChatHost.Str())) __builtin_trap();
    if (!applied && (!record.HighScoreHost.empty() || record.ChatHost != "kept")) __builtin_trap();
    if (record.Country != 0 || !record.City.empty()) __builtin_trap();
    return 0;
}
