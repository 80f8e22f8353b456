#include "frontend/online/qv3ReportFlows.h"

#include "foundation/TextUtil.h"
#include "foundation/qv3Environment.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3HostList.h"
#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3OnlineUi.h"
#include "frontend/online/qv3Transfer.h"
#include "game/core/qv3ReplayFiles.h"
#include "platform/system/Files.h"

namespace qv {

namespace {

constexpr int kTextInvalidSender = 31;
constexpr int kTextInvalidReportSender = 423;
constexpr int kTextSendingCard = 33;
constexpr int kTextCardFailed = 347;

std::string Replace(std::string text, char from, const std::string& to) {
    std::string out;
    for (char c : text) {
        if (c == from) {
            out += to;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Field(const std::string& value) { return (value.empty() ? std::string(" ") : value) + "|"; }

}  // namespace

std::string ErrorReportBody(const std::string& description, const std::string& logText) {
    return description + "\r*****Log file *****\r" + logText;
}

std::string ErrorReportAttachment(int slot) {
    const std::string path = LastReplayPath(slot);
    return sys::FileExists(path) ? path : std::string();
}

TReportResult SendErrorReport(const std::string& email, const std::string& description, const std::string& logText,
                              int slot) {
    bool cancelled = false;
    if (SendErrorReportMail(email, ErrorReportBody(description, logText), ErrorReportAttachment(slot), &cancelled))
        return TReportResult::Sent;
    return cancelled ? TReportResult::Cancelled : TReportResult::Failed;
}

bool IsUsableReportSender(const std::string& email) {
    const std::string address = TrimText(email);
    return address.empty() || (IsValidCardSender(address) && IsSafeMailAddress(address));
}

bool CheckErrorReportSender(const std::string& email) {
    if (IsUsableReportSender(email)) return true;
    ShowOnlineMessage(TMessageKind::Plain, LangText(kTextInvalidReportSender));
    return false;
}

void StoreErrorReportEmail(const std::string& email) { Environment.ErrorReportEmail = email; }

std::string AppendRecipient(const std::string& list, const std::string& address) {
    if (address.empty()) return list;
    if (!list.empty() && list.back() != ',') return list + ", " + address;
    return list + address;
}

bool IsValidCardSender(const std::string& address) {
    const std::string a = TrimText(address);
    const std::size_t at = a.find('@');
    return !a.empty() && at != std::string::npos && at >= 1 && a.find('.') != std::string::npos &&
           a.find(' ') == std::string::npos;
}

std::string BuildCardRecord(const std::string& recipients, const std::string& comment, const std::string& senderName,
                            const std::string& senderEmail, const std::string& scoreUid,
                            const std::string& lobbyAlias) {
    std::string text = Replace(NormalizeLineBreaks(comment), '|', "!");
    text = Replace(text, '<', "&lt;");
    text = Replace(text, '\r', "<br>");
    return Field(Replace(recipients, '|', "!")) + Field(text) + Field(Replace(TrimText(senderName), '|', "!")) +
           Field(Replace(TrimText(senderEmail), '|', "!")) + Field(TrimText(scoreUid)) +
           Field(Replace(TrimText(lobbyAlias), '|', "!"));
}

TCardResult SendEmailCard(const std::string& recipients, const std::string& comment, const std::string& senderName,
                          const std::string& senderEmail) {
    if (!IsValidCardSender(senderEmail)) {
        ShowOnlineMessage(TMessageKind::Plain, LangText(kTextInvalidSender));
        return TCardResult::InvalidSender;
    }
    if (!CheckInternet(true)) return TCardResult::NoInternet;
    try {
        const std::string record = BuildCardRecord(recipients, comment, senderName, senderEmail,
                                                   Environment.ScoreUID.Str(), Environment.LobbyAlias.Str());
        TPleaseWaitScope wait(LangText(kTextSendingCard));
        HttpPostForm(ScorePrefix() + "/card.php", "cs=" + ScrambleForSubmit(record));
    } catch (const ETransferAborted&) {
        // Cancelled: the card stays open, no error to report.
        return TCardResult::Failed;
    } catch (const std::exception& e) {
        LogMessage(std::string("Error sending email card  (") + e.what() + ")", lkWarning);
        ShowOnlineMessage(TMessageKind::Plain, LangText(kTextCardFailed));
        return TCardResult::Failed;
    }
    return TCardResult::Sent;
}

}  // namespace qv
