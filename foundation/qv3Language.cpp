#include "foundation/qv3Language.h"

#include <memory>
#include <mutex>

#include "foundation/Exceptions.h"
#include "foundation/TextUtil.h"
#include "foundation/qv3Global.h"
#include "foundation/qv3Log.h"
#include "platform/system/KeyStore.h"

namespace qv {

namespace {

struct LanguageState {
    std::mutex lock;
    TResourceOpener opener;
    std::unique_ptr<std::vector<std::string>> texts;  // nothing until loaded
    bool missingLogged = false;
};

LanguageState& State() {
    static LanguageState state;
    return state;
}

}  // namespace

std::string KeyStorePath() { return CommonDataDir + sys::kKeyStoreFileName; }

void SetLanguageResourceOpener(TResourceOpener opener) {
    std::lock_guard guard(State().lock);
    State().opener = std::move(opener);
}

std::string ProcessLanguageEscapes(std::string line) {
    std::size_t pos = line.find("\\n");
    while (pos != std::string::npos && (pos == 0 || line[pos - 1] != '\\')) {
        line[pos] = '\r';
        line[pos + 1] = '\n';
        pos = line.find("\\n");
    }
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        out += line[i];
        if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '\\') ++i;
    }
    return out;
}

std::vector<std::string> ParseLanguageFile(const std::string& bytes) {
    std::vector<std::string> lines = SplitLines(bytes);
    for (auto& line : lines) line = ProcessLanguageEscapes(std::move(line));
    return lines;
}

std::vector<std::string> CountryTexts() {
    std::vector<std::string> names;
    try {
        for (int n = kFirstCountryText; n <= kLastCountryText; ++n) names.push_back(LangText(n));
    } catch (const EListError&) {
    }
    return names;
}

std::string LangText(int n) {
    LanguageState& s = State();
    std::lock_guard guard(s.lock);
    if (!s.texts) {
        if (!s.missingLogged) {
            s.missingLogged = true;
            LogMessage("Language texts are not loaded; text " + std::to_string(n) + " is empty", lkWarning);
        }
        return {};
    }
    if (n < 0 || static_cast<std::size_t>(n) >= s.texts->size()) {
        throw EListError("List index out of bounds (" + std::to_string(n) + ")");
    }
    return (*s.texts)[static_cast<std::size_t>(n)];
}

int LanguageTextCount() {
    std::lock_guard guard(State().lock);
    return State().texts ? static_cast<int>(State().texts->size()) : 0;
}

void SetLanguage(int index) {
    LanguageState& s = State();
    const bool known = index >= 0 && static_cast<std::size_t>(index) < kLanguageCodes.size();
    const std::string code = known ? kLanguageCodes[static_cast<std::size_t>(index)] : std::string();
    bool loaded = false;
    {
        std::lock_guard guard(s.lock);
        s.texts.reset();
        s.missingLogged = false;
        try {
            std::optional<std::string> bytes;
            if (known && s.opener) bytes = s.opener("lang" + code + ".txt");
            if (bytes) {
                s.texts = std::make_unique<std::vector<std::string>>(ParseLanguageFile(*bytes));
            }
        } catch (...) {
            s.texts.reset();
        }
        loaded = s.texts != nullptr;
    }
    if (!known) {
        LogMessage("Unknown language index " + std::to_string(index), lkWarning);
        return;
    }
    if (!loaded) {
        LogMessage("Could not load language file lang" + code + ".txt", lkWarning);
    }
    try {
        sys::TKeyStore(KeyStorePath()).WriteString(sys::kProgramKey, kLanguageValueName, code);
    } catch (...) {
    }
}

int ReadLanguageIndex() {
    try {
        auto value = sys::TKeyStore(KeyStorePath()).ReadString(sys::kProgramKey, kLanguageValueName);
        if (!value) return 0;
        for (std::size_t i = 0; i < kLanguageCodes.size(); ++i) {
            if (SameTextNoCase(*value, kLanguageCodes[i])) return static_cast<int>(i);
        }
    } catch (...) {
    }
    return 0;
}

}  // namespace qv
