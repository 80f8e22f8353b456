// A contact sheet of the generated pictures for a person to look at: every
// texture over a chequered ground, a line of every font's glyphs at their
// widths, and a mock game frame composed from the pictures.
#pragma once

#include <string>

namespace qv::gen {

// Writes the PNG files into `folder` (created when missing). Throws
// std::runtime_error when a file cannot be written.
void WriteContactSheet(const std::string& folder);

}  // namespace qv::gen
