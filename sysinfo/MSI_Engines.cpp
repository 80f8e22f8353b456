#include "sysinfo/MSI_Engines.h"

#include "sysinfo/MSI_Software.h"

namespace qv {

void TEngines::GetInfo() {
    BDE.clear();
    ODBC.clear();
    DAO.clear();
    ADO.clear();
    // SCSI commands reach devices through the kernel's SCSI generic driver
    // here: its version ("3.5.36") where it is loaded.
    ASPI.clear();
    const std::vector<std::string> sg = sysinfo::SplitFields(Source().ReadLine("/proc/scsi/sg/version"));
    if (sg.size() >= 2) ASPI = "sg " + sg[1];
    // The driver manager library, under the names Debian has given it.
    for (const sysinfo::TDpkgPackage& p : ReadInstalledPackages(Source()))
        if (ODBC.empty() && (p.Package == "libodbc2" || p.Package == "libodbc1" || p.Package == "unixodbc-common"))
            ODBC = p.Version;
}

}  // namespace qv
