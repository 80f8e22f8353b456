// The running processes, from /proc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sysinfo/MSI_Common.h"

namespace qv {

struct TProcessEntry {
    std::string Name;  // the program's file name; its command name when that cannot be read
    std::int32_t Pid = 0;
};

class TProcesses : public TInfoObject {
public:
    explicit TProcesses(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TProcesses"; }
    void GetInfo() override;

    std::int32_t ProcessCount() const { return static_cast<std::int32_t>(processes_.size()); }
    // In the order of their ids.
    const std::vector<TProcessEntry>& Processes() const { return processes_; }

private:
    std::vector<TProcessEntry> processes_;
};

}  // namespace qv
