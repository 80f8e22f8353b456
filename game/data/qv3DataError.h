// The error of the game's data readers: a level, scenery, boundaries,
// environment or recorded file that does not hold what it must. A file that
// ends early raises the binary reader's EBinaryError instead.
#pragma once

#include "foundation/Exceptions.h"

namespace qv {

class EDataError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace qv
