// Named resources as the game's logic, image set and sound set open them:
// the current scenario's, falling back to the program's shared ones. The
// resource manager is the program's source; tests give their own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Exceptions.h"

namespace qv {

class IResourceSource {
public:
    virtual ~IResourceSource() = default;
    // Whether OpenResource would find `name`.
    virtual bool HasResource(const std::string& name) const = 0;
    // The resource's bytes; throws EResNotFound when there is none.
    virtual std::vector<std::uint8_t> OpenResource(const std::string& name) const = 0;
};

}  // namespace qv
