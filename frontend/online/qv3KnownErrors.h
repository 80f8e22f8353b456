// The known-error lookup: after a run that left problems in the log, offer
// to look them up in a list of patterns downloaded from the internal
// pages, open the solution page of the first match, and offer the error
// report. The problems are marked as reported afterwards in every case.
//
// Patterns are Perl-compatible regular expressions, case-insensitive, with
// ^ and $ matching at every line; '.' does not match line breaks, so a
// pattern spans lines only where it says so (\s, [\s\S], \R). Each match
// runs under a step limit, so a pattern from the server cannot hang the
// program.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qv {

struct TKnownError {
    std::string Page;
    bool Report = false;  // offer the error report after showing the page
    std::string Pattern;
};

// One list line: page, flag and pattern split by the first two commas. A
// line with fewer than two commas gives nothing.
std::optional<TKnownError> ParseKnownErrorLine(const std::string& line);
// Whether `pattern` matches anywhere in `text` (both Windows-1252). Throws
// qv::Exception for a pattern that does not compile; one that runs past the
// step limit counts as no match.
bool KnownErrorMatches(const std::string& pattern, const std::string& text);

class TKnownErrorLookup {
public:
    // What the lookup asks of the main window; all may be empty.
    std::function<bool()> IsMainWindowActive;  // empty: active
    std::function<bool()> BrowserShown;        // empty: not shown
    // Navigates the shown browser to `url`, then calls `loaded` once, with
    // whether the page loaded (on the UI thread, after the browser's event).
    std::function<void(const std::string& url, std::function<void(bool loaded)> loaded)> NavigateBrowser;
    std::function<void()> PublishErrorReport;

    // Set at the first showing and after each game, lobby session and
    // world's-best replay.
    bool CheckLogPending = false;

    // Runs from the main window's timer.
    void LookUpKnownError();
    // Downloads the list once per run; true when it is held.
    bool FetchKnownErrors();
    const std::optional<std::vector<std::string>>& KnownErrors() const { return knownErrors_; }

private:
    std::optional<std::vector<std::string>> knownErrors_;
    bool fetchCancelled_ = false;
};

}  // namespace qv
