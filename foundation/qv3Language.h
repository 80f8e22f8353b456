// Language texts: every caption and message the player sees, by line number
// of the current language file. Texts are Windows-1252 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv {

inline constexpr std::array<const char*, 4> kLanguageCodes = {"ENU", "DEU", "FRA", "ITA"};
inline constexpr const char* kLanguageValueName = "Language";

// A language file is some hundred lines of text; a larger file is none.
inline constexpr std::size_t kMaxLanguageFileSize = 1u << 20;

// Opens a named data resource ("langENU.txt") and returns its bytes.
using TResourceOpener = std::function<std::optional<std::string>(const std::string& name)>;

// Where SetLanguage reads the language files from.
void SetLanguageResourceOpener(TResourceOpener opener);

// Line n (from 0) of the loaded file. Throws EListError when n is outside
// the file; an empty text (logged once) when no file could be loaded.
std::string LangText(int n);
// Loads the file of language `index` (0..3) and stores its code in the key
// store. A failed load leaves no texts; a failed store changes nothing else.
void SetLanguage(int index);
// The stored language's index, 0 when missing or unknown. Reads every time.
int ReadLanguageIndex();
// How many lines the loaded file has (0 when none).
int LanguageTextCount();

// The country names are texts 83..325: country number c (1..243, as the
// settings record stores it) is text c + kCountryTextOffset.
inline constexpr int kFirstCountryText = 83;
inline constexpr int kLastCountryText = 325;
inline constexpr int kCountryTextOffset = kFirstCountryText - 1;
// The country names in text order, entry i being country i + 1; a file
// that ends early ends the list there.
std::vector<std::string> CountryTexts();

// The lines of a language file with their escapes turned into text.
std::vector<std::string> ParseLanguageFile(const std::string& bytes);
// One line's escapes: backslash-n gives CR LF, two backslashes one.
std::string ProcessLanguageEscapes(std::string line);

// The key store file the language choice lives in (CommonDataDir + registry.ini).
std::string KeyStorePath();

}  // namespace qv
