#include "frontend/online/qv3KnownErrors.h"

#include <QRegularExpression>
#include <QString>

#include "foundation/Exceptions.h"
#include "foundation/TextUtil.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3HostList.h"
#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3OnlineUi.h"
#include "frontend/online/qv3Transfer.h"
#include "frontend/qv3QtText.h"

namespace qv {

namespace {

constexpr int kTextAskLookup = 58;
constexpr int kTextListFailed = 59;
constexpr int kTextAskReportAfterPage = 60;
constexpr int kTextAskReportNoMatch = 61;
constexpr int kTextDownloadingList = 63;
constexpr int kTextNoPage = 426;
constexpr int kTextAskReportNoPage = 427;
constexpr std::size_t kFieldLimit = 1000;
// Backtracking steps one pattern may take over the log, and CR LF, CR or
// LF as the line breaks ^ and $ see (the log ends its lines with CR LF).
constexpr const char* kPatternPrefix = "(*LIMIT_MATCH=2000000)(*ANYCRLF)";

// After the solution page: offer the report as the list says, or tell that
// the page could not be opened (`tell`: nobody has said so yet).
void AfterSolutionPage(bool opened, bool tell, bool report, const std::function<void()>& publish) {
    if (opened) {
        if (report && ConfirmOnline(LangText(kTextAskReportAfterPage)) && publish) publish();
        return;
    }
    if (report) {
        if (ConfirmOnline(LangText(kTextAskReportNoPage)) && publish) publish();
    } else if (tell) {
        ShowOnlineMessage(TMessageKind::Plain, LangText(kTextNoPage));
    }
}

// Marks the log's problems as reported when the lookup ends, however it ends.
struct ReportedOnExit {
    ~ReportedOnExit() { LogSetReported(); }
};

}  // namespace

std::optional<TKnownError> ParseKnownErrorLine(const std::string& line) {
    const std::size_t first = line.find(',');
    if (first == std::string::npos) return std::nullopt;
    const std::string rest = line.substr(first + 1, kFieldLimit);
    const std::size_t second = rest.find(',');
    if (second == std::string::npos) return std::nullopt;
    TKnownError e;
    e.Page = TrimText(line.substr(0, first));
    const std::string flag = TrimText(rest.substr(0, second));
    e.Report = !flag.empty() && (flag[0] == 'Y' || flag[0] == 'y');
    e.Pattern = TrimText(rest.substr(second + 1, kFieldLimit));
    return e;
}

bool KnownErrorMatches(const std::string& pattern, const std::string& text) {
    const QRegularExpression re(QString::fromLatin1(kPatternPrefix) + QText(pattern),
                                QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    if (!re.isValid()) throw Exception("Invalid pattern: " + re.errorString().toStdString());
    const QRegularExpressionMatch m = re.match(QText(text));
    return m.hasMatch();
}

bool TKnownErrorLookup::FetchKnownErrors() {
    fetchCancelled_ = false;
    if (knownErrors_) return true;
    try {
        if (!CheckInternet(true)) {
            fetchCancelled_ = HostWaitCancelled();
            return false;
        }
        TPleaseWaitScope wait(LangText(kTextDownloadingList));
        knownErrors_ = SplitLines(HttpGetText(InternalPrefix() + "errors.txt"));
        return true;
    } catch (const ETransferAborted&) {
        knownErrors_.reset();
        fetchCancelled_ = true;
        return false;
    } catch (const std::exception& e) {
        LogMessage(std::string("Known-error list not fetched: ") + e.what(), lkInfo);
        knownErrors_.reset();
        return false;
    }
}

void TKnownErrorLookup::LookUpKnownError() {
    if (!CheckLogPending || (IsMainWindowActive && !IsMainWindowActive())) return;
    CheckLogPending = false;
    if (!LogHasProblems()) return;
    ReportedOnExit reported;
    if (!ConfirmOnline(LangText(kTextAskLookup))) return;
    if (!FetchKnownErrors()) {
        // A cancelled download is no failure to report.
        if (!fetchCancelled_) ShowOnlineMessage(TMessageKind::Plain, LangText(kTextListFailed));
        return;
    }
    try {
        const std::string log = ReadLogText();
        for (const std::string& line : *knownErrors_) {
            const std::optional<TKnownError> entry = ParseKnownErrorLine(line);
            // An empty pattern would match every log: such an entry names no error.
            if (!entry || entry->Pattern.empty() || !KnownErrorMatches(entry->Pattern, log)) continue;
            ResolveHosts();
            const std::string url = InternalPrefix() + "errors/" + entry->Page;
            if (BrowserShown && BrowserShown() && NavigateBrowser) {
                // What follows waits for the page: the player is told
                // whether it could be opened.
                NavigateBrowser(url, [report = entry->Report, publish = PublishErrorReport](bool loaded) {
                    AfterSolutionPage(loaded, true, report, publish);
                });
            } else {
                // A browser that cannot start has told so itself (text 354).
                AfterSolutionPage(OpenURL(url), false, entry->Report, PublishErrorReport);
            }
            return;
        }
    } catch (const std::exception& e) {
        LogMessage(std::string("Error searching for a solution: ") + e.what(), lkError);
    }
    if (ConfirmOnline(LangText(kTextAskReportNoMatch)) && PublishErrorReport) PublishErrorReport();
}

}  // namespace qv
