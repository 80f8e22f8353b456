#include "sysinfo/MSI_Startup.h"

#include <algorithm>

#include "sysinfo/Syvex_Routines.h"

namespace qv {

namespace {

bool EndsWith(const std::string& text, std::string_view tail) {
    return text.size() > tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

std::int32_t TStartup::RunsCount() const {
    std::size_t count = 0;
    for (const auto& list : lists_) count += list.size();
    return static_cast<std::int32_t>(count);
}

void TStartup::ReadUnits(int list, const std::string& folder) {
    const TSysSource& source = Source();
    for (const std::string& file : source.ListDir(folder)) {
        if (!EndsWith(file, ".service")) continue;
        // The entries are links to the unit files.
        const std::optional<std::string> unit = source.Resolve(folder + "/" + file);
        if (!unit) continue;
        const sysinfo::TIniSections sections = sysinfo::ParseIniText(source.ReadText(*unit, 256 * 1024).value_or(""));
        const auto service = sections.find("Service");
        if (service == sections.end()) continue;
        const auto exec = service->second.find("ExecStart");
        if (exec == service->second.end()) continue;
        // Leading "-", "@", "+", "!" only change how systemd runs it.
        const std::string command = exec->second.substr(std::min(exec->second.find_first_not_of("-@+!:"), exec->second.size()));
        if (command.empty()) continue;
        lists_[static_cast<std::size_t>(list)].push_back({file.substr(0, file.size() - 8), command});
    }
}

void TStartup::ReadAutostart(int list, const std::string& folder, const std::vector<std::string>& overridden,
                             std::vector<std::string>& seen) {
    const TSysSource& source = Source();
    if (folder.empty()) return;
    for (const std::string& file : source.ListDir(folder)) {
        if (!EndsWith(file, ".desktop") || Contains(overridden, file) || Contains(seen, file)) continue;
        seen.push_back(file);
        const std::string path = folder + "/" + file;
        // A hidden entry is one the user has deleted.
        const sysinfo::TIniSections sections = sysinfo::ParseIniText(source.ReadText(path, 256 * 1024).value_or(""));
        const auto entry = sections.find("Desktop Entry");
        if (entry != sections.end()) {
            const auto hidden = entry->second.find("Hidden");
            if (hidden != entry->second.end() && hidden->second == "true") continue;
        }
        std::string target, arguments;
        if (ResolveShellLink(path, target, arguments, source) != kLinkOk) continue;
        lists_[static_cast<std::size_t>(list)].push_back(
            {file.substr(0, file.size() - 8), arguments.empty() ? target : target + " " + arguments});
    }
}

void TStartup::GetInfo() {
    for (auto& list : lists_) list.clear();
    const TXdgFolders xdg = ReadXdgFolders(Source());
    if (!xdg.ConfigHome.empty()) ReadUnits(kStartupUserRun, xdg.ConfigHome + "/systemd/user/default.target.wants");
    ReadUnits(kStartupMachineRun, "/etc/systemd/user/default.target.wants");

    // A file in the user's folder stands in for the machine's file of the
    // same name; among the machine's folders the first one wins.
    const std::string userFolder = GetSpecialFolder(CSIDL_STARTUP, Source());
    std::vector<std::string> userFiles;
    ReadAutostart(kStartupUserFolder, userFolder, {}, userFiles);
    if (!userFolder.empty())
        for (const std::string& file : Source().ListDir(userFolder)) userFiles.push_back(file);
    std::vector<std::string> machineFiles;
    for (const std::string& dir : xdg.ConfigDirs) ReadAutostart(kStartupCommonFolder, dir + "/autostart", userFiles, machineFiles);
}

}  // namespace qv
