// The program log: one text file holding the previous run and the current
// one, written a line at a time under one process-wide lock.
//
// Line forms (each ending in CR LF):
//   "* " + kind prefix + message
//   "* Msg " + code as 8 upper-case hex digits + ": " + message
//   "<*** Begin ***>" and "<*** End ***>"
// A reported problem line has its leading '*' replaced by '>'.
//
// No routine here throws, except RaiseLoggedError, which throws on purpose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv {

using TLogKind = std::uint8_t;

enum : TLogKind {
    lkUnknown = 0,
    lkInfo = 1,
    lkWarning = 2,
    lkError = 3,
    lkCheckpoint = 4,
    lkNote = 5,
    lkEntering = 6,
    lkExiting = 7,
    lkSeparator = 8,
};

inline constexpr const char* kLogFileName = "quorvex.log";
inline constexpr const char* kLogBeginLine = "<*** Begin ***>";
inline constexpr const char* kLogEndLine = "<*** End ***>";
// The log is read whole (to keep only the previous run, to find problems,
// to attach it to a report); a larger file is not read: the next run starts
// it afresh.
inline constexpr std::size_t kMaxLogFileSize = 16u * 1024 * 1024;

// Stores the log path and creates an empty file there when none exists.
// Entries written before the first call go nowhere.
void SetLogFile(const std::string& path);
std::string LogFile();

// An entry of the kind's low 7 bits.
void LogMessage(const std::string& text, TLogKind kind = lkInfo);
// An entry with a full 32-bit kind: 256 and above give a code entry.
void LogMessageCode(const std::string& text, std::uint32_t code);
// The writer behind both; `kind` is not masked.
void WriteLogLine(const std::string& text, std::uint32_t kind);
// The line WriteLogLine writes, without its line break.
std::string FormatLogLine(const std::string& text, std::uint32_t kind);

// Logs `message` (+ " (" + detail + ")"), with the code when it is not 0 or
// as an error entry otherwise, then throws qv::Exception(message).
[[noreturn]] void RaiseLoggedError(const std::string& message, std::uint32_t code = 0,
                                   const std::string& detail = std::string());

// Drops everything before the last Begin line and appends a new one. A log
// too large to read is replaced by the new Begin line and a warning that
// says so.
void LogBeginRun();
void LogEndRun();
// Whether the file shows a problem line or a run that did not end.
bool LogHasProblems();
// The whole file, lines joined with CR LF; empty when it cannot be read or
// is larger than kMaxLogFileSize.
std::string ReadLogText();
// Marks the problems found so far as reported.
void LogSetReported();

}  // namespace qv
