// What starts with the session, in six lists:
//   0  the user's enabled service units (systemd --user, default.target)
//   1  the machine's enabled user service units
//   2  programs run once at the next start: none here, always empty
//   3  the user's autostart folder
//   4  the machine's autostart folders
//   5  the start entries of the old Windows settings file: none, always empty
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sysinfo/MSI_Common.h"

namespace qv {

struct TStartupEntry {
    std::string Name;     // file name without ".desktop" or ".service"
    std::string Command;  // the program with its arguments
};

enum : int {
    kStartupUserRun = 0,
    kStartupMachineRun = 1,
    kStartupRunOnce = 2,
    kStartupUserFolder = 3,
    kStartupCommonFolder = 4,
    kStartupIniFile = 5,
};

class TStartup : public TInfoObject {
public:
    explicit TStartup(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TStartup"; }
    void GetInfo() override;

    // The sum of the six list sizes.
    std::int32_t RunsCount() const;
    const std::vector<TStartupEntry>& List(int index) const { return lists_.at(static_cast<std::size_t>(index)); }

private:
    void ReadUnits(int list, const std::string& folder);
    void ReadAutostart(int list, const std::string& folder, const std::vector<std::string>& overridden,
                       std::vector<std::string>& seen);

    std::array<std::vector<TStartupEntry>, 6> lists_;
};

}  // namespace qv
