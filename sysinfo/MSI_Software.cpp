#include "sysinfo/MSI_Software.h"

namespace qv {

std::vector<sysinfo::TDpkgPackage> ReadInstalledPackages(const TSysSource& source) {
    std::vector<sysinfo::TDpkgPackage> installed;
    for (sysinfo::TDpkgPackage& p :
         sysinfo::ParseDpkgStatus(source.ReadText("/var/lib/dpkg/status", 64 << 20).value_or(""))) {
        // "install ok installed", or "hold ok installed" for a held package.
        const std::vector<std::string> status = sysinfo::SplitFields(p.Status);
        if (status.size() == 3 && status[1] == "ok" && status[2] == "installed") installed.push_back(std::move(p));
    }
    return installed;
}

void TSoftware::GetInfo() {
    Products.clear();
    UninstallCommands.clear();
    for (const sysinfo::TDpkgPackage& p : ReadInstalledPackages(Source())) {
        Products.push_back(p.Version.empty() ? p.Package : p.Package + " " + p.Version);
        UninstallCommands.push_back("apt-get remove " + p.Package);
    }
}

}  // namespace qv
