// A hostile known-error list: every line parses into bounded fields, and
// the first patterns compile or fail cleanly and end within their limit.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include "foundation/TextUtil.h"
#include "frontend/online/qv3KnownErrors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    static const std::string log = "<*** Begin ***>\r\n* Error: Access violation at 0045 in Frame\r\n"
                                   "* Info: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab\r\n<*** End ***>\r\n";
    int patterns = 0;
    for (const std::string& line : qv::SplitLines(text)) {
        const auto entry = qv::ParseKnownErrorLine(line);
        if (!entry) continue;
        if (entry->Pattern.size() > 1000 || entry->Page.size() > line.size()) __builtin_trap();
        if (patterns++ < 3) {
            try {
                qv::KnownErrorMatches(entry->Pattern, log);
            } catch (const std::exception&) {
            }
        }
    }
    return 0;
}
