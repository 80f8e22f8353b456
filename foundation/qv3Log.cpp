#include "foundation/qv3Log.h"

#include <sys/types.h>

#include <cstdio>
#include <mutex>
#include <optional>
#include <vector>

#include "foundation/Exceptions.h"
#include "foundation/TextUtil.h"
#include "platform/system/Files.h"

namespace qv {

namespace {

std::mutex& LogLock() {
    static std::mutex lock;
    return lock;
}

std::string& LogPath() {
    static std::string path;
    return path;
}

constexpr const char* kPrefixes[] = {"Unknown: ", "Info: ",       "Warning: ", "Error: ",
                                     "Checkpoint: ", "Note: ", "Entering: ", "Exiting: ",
                                     "Separator: "};

// The log lies in the player's own folder and holds what the player did:
// readable by the player alone, never read or written through a link.
constexpr mode_t kLogFileMode = sys::kPrivateFileMode;

// Appends to an existing file in one write, so concurrent writers never
// interleave within a line. Never creates the file.
void AppendToLog(const std::string& path, const std::string& data) {
    if (path.empty()) return;
    sys::AppendToFile(path, data, sys::LinkRule::Refuse);
}

// Nothing when the file cannot be read; `error` then tells why.
std::optional<std::vector<std::string>> LoadLines(const std::string& path, std::string* error = nullptr) {
    if (path.empty()) return std::nullopt;
    std::string text;
    if (sys::ReadFile(path, sys::LinkRule::Refuse, kMaxLogFileSize, text, error) != sys::FileStatus::Ok)
        return std::nullopt;
    return SplitLines(text);
}

bool SaveLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return sys::WriteFileAtomic(path, out, nullptr, kLogFileMode);
}

bool IsProblemLine(const std::string& line) {
    return StartsWithNoCase(line, "* Msg") || StartsWithNoCase(line, "* Error:");
}

}  // namespace

void SetLogFile(const std::string& path) {
    try {
        std::lock_guard guard(LogLock());
        LogPath() = path;
        if (!path.empty()) sys::AppendToFile(path, {}, sys::LinkRule::Refuse, kLogFileMode);
    } catch (...) {
    }
}

std::string LogFile() {
    std::lock_guard guard(LogLock());
    return LogPath();
}

std::string FormatLogLine(const std::string& text, std::uint32_t kind) {
    if (kind >= 256) {
        char code[16];
        std::snprintf(code, sizeof code, "%08X", kind);
        return std::string("* Msg ") + code + ": " + text;
    }
    const char* prefix = kind < std::size(kPrefixes) ? kPrefixes[kind] : kPrefixes[0];
    return std::string("* ") + prefix + text;
}

void WriteLogLine(const std::string& text, std::uint32_t kind) {
    try {
        std::string line = FormatLogLine(text, kind);
        line += "\r\n";
        std::lock_guard guard(LogLock());
        AppendToLog(LogPath(), line);
    } catch (...) {
    }
}

void LogMessage(const std::string& text, TLogKind kind) { WriteLogLine(text, kind & 0x7Fu); }

void LogMessageCode(const std::string& text, std::uint32_t code) {
    if (code >= 256) {
        WriteLogLine(text, code);
    } else {
        WriteLogLine(text, code & 0x7Fu);
    }
}

void RaiseLoggedError(const std::string& message, std::uint32_t code, const std::string& detail) {
    const std::string text = detail.empty() ? message : message + " (" + detail + ")";
    if (code != 0) {
        LogMessageCode(text, code);
    } else {
        LogMessage(text, lkError);
    }
    throw Exception(message);
}

void LogBeginRun() {
    try {
        std::lock_guard guard(LogLock());
        const std::string& path = LogPath();
        if (path.empty()) return;
        std::string error;
        auto loaded = LoadLines(path, &error);
        std::vector<std::string> lines = loaded.value_or(std::vector<std::string>{});
        for (std::size_t i = lines.size(); i-- > 0;) {
            if (SameTextNoCase(lines[i], kLogBeginLine)) {
                lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        lines.emplace_back(kLogBeginLine);
        // A log that exists but cannot be read (far too large, say) is
        // started afresh, and the new run says why.
        if (!loaded && sys::FileExists(path))
            lines.push_back(FormatLogLine("Previous log dropped: " + error, lkWarning));
        SaveLines(path, lines);
    } catch (...) {
    }
}

void LogEndRun() {
    try {
        std::lock_guard guard(LogLock());
        AppendToLog(LogPath(), std::string(kLogEndLine) + "\r\n");
    } catch (...) {
    }
}

bool LogHasProblems() {
    try {
        std::lock_guard guard(LogLock());
        auto lines = LoadLines(LogPath());
        if (!lines) return false;
        for (const auto& line : *lines) {
            if (IsProblemLine(line)) return true;
        }
        for (std::size_t i = 1; i < lines->size(); ++i) {
            if ((*lines)[i] == kLogBeginLine && (*lines)[i - 1] != kLogEndLine) return true;
        }
        return false;
    } catch (...) {
        return false;
    }
}

std::string ReadLogText() {
    try {
        std::lock_guard guard(LogLock());
        auto lines = LoadLines(LogPath());
        if (!lines) return {};
        std::string text;
        for (std::size_t i = 0; i < lines->size(); ++i) {
            if (i) text += "\r\n";
            text += (*lines)[i];
        }
        return text;
    } catch (...) {
        return {};
    }
}

void LogSetReported() {
    try {
        std::lock_guard guard(LogLock());
        const std::string& path = LogPath();
        auto loaded = LoadLines(path);
        if (!loaded) return;
        std::vector<std::string>& lines = *loaded;
        for (auto& line : lines) {
            if (IsProblemLine(line)) line = ">" + line.substr(1, 10000);
        }
        for (std::size_t i = lines.size(); i-- > 1;) {
            if (lines[i] == kLogBeginLine && lines[i - 1] != kLogEndLine) {
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i), kLogEndLine);
            }
        }
        SaveLines(path, lines);
    } catch (...) {
    }
}

}  // namespace qv
