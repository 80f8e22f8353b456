// What every part of the system information inventory shares: the
// exception modes, the guarded refresh call, and the base of the
// sub-objects.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/sysinfo/SysSource.h"

namespace qv {

using sysinfo::TSysSource;

enum class TExceptionMode : std::uint8_t { emRaise = 0, emMessage = 1, emSilent = 2 };
using enum TExceptionMode;

// Shows an error text to the user (the front end installs a message box
// with the caption "Error" and the error icon). Without a hook the text is
// written as one line to standard output.
using TErrorBoxHook = std::function<void(const std::string& text)>;
void SetErrorBoxHook(TErrorBoxHook hook);

// Runs `refresh`. A std::exception it throws becomes the text
// label + ": " + message, which by `mode` is thrown again as qv::Exception
// (emRaise), shown (emMessage) or dropped (emSilent). Anything that is not
// a std::exception passes unchanged.
void CallGetInfoGuarded(const std::string& label, TExceptionMode mode, const std::function<void()>& refresh);

// A sub-object of the inventory: filled by GetInfo from its source.
class TInfoObject {
public:
    explicit TInfoObject(const TSysSource& source) : source_(&source) {}
    virtual ~TInfoObject() = default;
    TInfoObject(const TInfoObject&) = delete;
    TInfoObject& operator=(const TInfoObject&) = delete;

    // The class name the guarded call labels failures with ("TCPU").
    virtual const char* ClassName() const = 0;
    virtual void GetInfo() = 0;
    // Objects with inner guarded calls follow the mode given here.
    virtual void SetExceptionMode(TExceptionMode) {}

    const TSysSource& Source() const { return *source_; }

private:
    const TSysSource* source_;
};

}  // namespace qv
