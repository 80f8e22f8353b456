// The start-up report: the program's version block and a short
// description of the machine, written into the log at every start.
#pragma once

#include <functional>
#include <string>

#include "sysinfo/MSI_Console.h"

namespace qv {

// The six version values the report opens with.
struct TReportVersion {
    std::string CompanyName;
    std::string FileVersion;
    std::string ProductName;
    std::string ProductVersion;
    std::string Comments;
    std::string BuildFlags;
};

// Where the report's lines go; the default logs each with kind Info.
using TReportSink = std::function<void(const std::string& line)>;

// Writes the version lines, then the machine's description read through a
// TMSI of the start-up selection in silent mode. Any failure while the
// machine is described ends the report with the line
// "Retrieving system information failed: " + message; nothing is thrown.
void WriteStartupReport(const TReportVersion& version, const TReportSink& sink = TReportSink(),
                        const TSysSource& source = TSysSource::Machine(), const TMSIFactory& factory = CreateMSIObject);

}  // namespace qv
