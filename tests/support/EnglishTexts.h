// The program's folders in a temporary one and the English language texts
// (langENU.txt next to the test programs), for tests that check what the
// player reads.
#pragma once

#include "tests/support/TempDir.h"

namespace qv::test {

// The program's folders under `dir` (bin/, share, common/) and the English
// texts as the current language.
void EnterProgramFolders(const TempDir& dir);

// Registers a test environment that does this before the first test.
bool UseEnglishTexts();

}  // namespace qv::test
