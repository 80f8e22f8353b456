// The plain exception of the program's own code, and the helpers every
// area's exception class builds on.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace qv {

// A failure reported with a message only.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A failure that carries a result code as well.
class ECodedError : public Exception {
public:
    ECodedError(const std::string& message, std::uint32_t code) : Exception(message), code_(code) {}
    std::uint32_t Code() const { return code_; }

private:
    std::uint32_t code_;
};

// An index outside a list's bounds.
class EListError : public Exception {
public:
    using Exception::Exception;
};

// A value outside its permitted range (an index, a property argument).
class ERangeError : public Exception {
public:
    using Exception::Exception;
};

// A stream that cannot do what was asked of it, or whose inner stream failed.
class EStreamError : public Exception {
public:
    using Exception::Exception;
};

// A named resource that neither the scenario nor the program holds.
class EResNotFound : public Exception {
public:
    using Exception::Exception;
};

}  // namespace qv
