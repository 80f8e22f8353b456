#include "sysinfo/MSI_Engines.h"

#include "sysinfo/MSI_Software.h"

namespace qv {

void TEngines::GetInfo() {
    BDE.clear();
    ODBC.clear();
    DAO.clear();
    ADO.clear();
    ASPI.clear();
    // The driver manager library, under the names Debian has given it.
    for (const sysinfo::TDpkgPackage& p : ReadInstalledPackages(Source()))
        if (ODBC.empty() && (p.Package == "libodbc2" || p.Package == "libodbc1" || p.Package == "unixodbc-common"))
            ODBC = p.Version;
}

}  // namespace qv
