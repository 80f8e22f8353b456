// Texts between the game's Windows-1252 bytes (language texts, settings,
// wire messages) and Qt's strings. The one conversion every window uses.
#pragma once

#include <QString>

#include <string>

namespace qv {

// Windows-1252 bytes as a QString.
QString QText(const std::string& cp1252);
// A QString as Windows-1252 bytes; characters it cannot hold become '?'.
std::string Cp1252(const QString& text);
// Language text `n` as a QString.
QString LangQText(int n);

}  // namespace qv
