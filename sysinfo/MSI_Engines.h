// Versions of installed database engines and of the SCSI programming layer.
// The ODBC driver manager (unixODBC, as the package manager records it) and
// the SCSI generic driver have counterparts here; the others are always empty.
#pragma once

#include <string>

#include "sysinfo/MSI_Common.h"

namespace qv {

class TEngines : public TInfoObject {
public:
    explicit TEngines(const TSysSource& source = TSysSource::Machine()) : TInfoObject(source) {}
    const char* ClassName() const override { return "TEngines"; }
    void GetInfo() override;

    std::string BDE;
    std::string ODBC;  // the installed unixODBC version; "" when not installed
    std::string DAO;
    std::string ADO;
    std::string ASPI;  // "sg <version>" of the SCSI generic driver; "" when not loaded
};

}  // namespace qv
