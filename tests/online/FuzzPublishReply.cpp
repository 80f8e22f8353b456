// A hostile answer of the score server: parsed into names and values, every
// value a piece of one line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "frontend/online/qv3ScoreRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    // An answer has a named value; one that is no answer may still have
    // names the parser takes, never the other way round.
    if (qv::IsNameValueReply(reply) && qv::ParseNameValueReply(reply).empty()) __builtin_trap();
    for (const auto& [name, value] : qv::ParseNameValueReply(reply)) {
        if (name.empty() || name.find('=') != std::string::npos) __builtin_trap();
        if (value.find_first_of("\r\n") != std::string::npos) __builtin_trap();
        if (name.size() + value.size() >= size) __builtin_trap();
        if (qv::IsSafePartName(value) && value.find('"') != std::string::npos) __builtin_trap();
    }
    return 0;
}
