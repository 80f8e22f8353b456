#include "sysinfo/MSI_Processes.h"

#include <algorithm>

namespace qv {

void TProcesses::GetInfo() {
    const TSysSource& source = Source();
    processes_.clear();
    for (const std::string& entry : source.ListDir("/proc")) {
        const std::int32_t pid = sysinfo::ParseNumber<std::int32_t>(entry).value_or(0);
        if (pid <= 0) continue;
        const std::string dir = "/proc/" + entry;
        std::string name;
        // The executable's link is readable for this user's processes only.
        if (std::optional<std::string> exe = source.ReadLink(dir + "/exe")) {
            std::string path = *exe;
            const std::string deleted = " (deleted)";
            if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
                path.erase(path.size() - deleted.size());
            name = path.substr(path.rfind('/') + 1);
        }
        if (name.empty()) name = source.ReadLine(dir + "/comm");
        if (name.empty() && !source.IsDirectory(dir)) continue;  // gone meanwhile
        processes_.push_back({name, pid});
    }
    std::sort(processes_.begin(), processes_.end(),
              [](const TProcessEntry& a, const TProcessEntry& b) { return a.Pid < b.Pid; });
}

}  // namespace qv
