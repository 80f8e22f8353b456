// The installed programs, as the package manager records them.
#pragma once

#include <string>
#include <vector>

#include "sysinfo/MSI_Common.h"

namespace qv {

// The packages of /var/lib/dpkg/status that are installed, in its order.
std::vector<sysinfo::TDpkgPackage> ReadInstalledPackages(const TSysSource& source);

class TSoftware : public TInfoObject {
public:
    explicit TSoftware(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TSoftware"; }
    void GetInfo() override;

    // "package version" of each installed package.
    std::vector<std::string> Products;
    // The command that removes each product, in the order of Products.
    std::vector<std::string> UninstallCommands;
};

}  // namespace qv
