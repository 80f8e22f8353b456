// The one shape of the media wrappers' result checks. A failed result with
// no own code is logged as "<result text> <context>" under the result and
// raised with the result text; with an own code it is logged as
// "<tag> $XXXXXXXX: <result text> - <own text> <context>" under the own code
// and raised with the own text. `raise(text)` throws the area's exception.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/TextUtil.h"
#include "foundation/qv3Log.h"

namespace qv {

template <class OwnText, class Raise>
[[noreturn]] void RaiseFailedResult(const char* tag, std::uint32_t result, const std::string& resultText,
                                    std::uint32_t ownCode, OwnText&& ownTextOf, const std::string& context,
                                    Raise&& raise) {
    if (ownCode == 0) {
        LogMessageCode(resultText + " " + context, result);
        raise(resultText);
    }
    const std::string ownText = ownTextOf(ownCode);
    LogMessageCode(std::string(tag) + " $" + Hex8(result) + ": " + resultText + " - " + ownText + " " + context,
                   ownCode);
    raise(ownText);
    std::abort();  // raise() always throws; one that returned would leave nothing to go on with
}

}  // namespace qv
