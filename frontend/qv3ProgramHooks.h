// The program's services for the main window: the online forms and flows,
// the start-up report, the memory check, and the Qt faces of the message
// boxes the online services and the system information show.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/qv3StartupReport.h"
#include "frontend/ui/qv3FrontendHooks.h"

class QWidget;

namespace qv {

class TMemory;

// The version lines of the start-up report, from this program's version
// record (the one the about box shows).
TReportVersion ProgramReportVersion();

// Free address space below this many bytes counts as low memory.
inline constexpr std::int64_t kLowVirtualMemory = 24000;
// Whether playing may go on with `memory` (read): low memory asks the
// player (text 62) through the online services' question box.
bool ConfirmMemory(const TMemory& memory);

// The main window's hooks filled with the online services, the start-up
// report and the memory check. The world's best download, the publishing
// and the new-best question act on the current scenario of GameResources.
ui::TFrontendHooks MakeProgramHooks();

// The system information's error box as a Qt message box ("Error", the
// error icon). Needs the QApplication.
void InstallErrorBox();
// Message boxes, questions, the please-wait box, the clipboard and the
// pictures of the online services as Qt windows over `mainWindow`.
void InstallProgramUi(QWidget* mainWindow);
// Removes what the two above set (before the main window goes).
void UninstallProgramUi();

}  // namespace qv
