// The error report mail and the e-mail card: what their forms send, built
// and sent headless. The forms only collect the texts.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace qv {

// --- Error report ---

// The mail body: description, the separator line and the log, apart by
// single carriage returns.
std::string ErrorReportBody(const std::string& description, const std::string& logText);
// UserDataDir + "last<slot>.gmp" when that file exists, else empty.
std::string ErrorReportAttachment(int slot);
enum class TReportResult { Sent, Failed, Cancelled };
// Mails the report (SendErrorReportMail reports the outcome); Cancelled when
// the player stopped it.
TReportResult SendErrorReport(const std::string& email, const std::string& description, const std::string& logText,
                              int slot);
// The one rule for the report's sender: none at all (the report comes from
// the report mailbox), or an address that passes the card's rule
// (IsValidCardSender) and that the mail may carry (IsSafeMailAddress).
bool IsUsableReportSender(const std::string& email);
// IsUsableReportSender; any other address is refused with text 423.
bool CheckErrorReportSender(const std::string& email);
// The sender address into the settings record (saved with the next save).
void StoreErrorReportEmail(const std::string& email);

// --- E-mail card ---

// Picks recipients from the system's address book. The default has none.
class IAddressBook {
public:
    virtual ~IAddressBook() = default;
    // Whether there is an address book at all ("To..." is hidden without).
    virtual bool Available() const { return false; }
    // The addresses the player chose, through a picker over `owner`.
    virtual std::vector<std::string> PickRecipients(QWidget* /*owner*/) { return {}; }
};

// Appends `address` to a recipient list: ", " first unless the list is
// empty or ends with a comma.
std::string AppendRecipient(const std::string& list, const std::string& address);
// Non-empty, '@' after the first character, a '.', no blank (trimmed first).
bool IsValidCardSender(const std::string& address);
// Six fields each followed by '|', an empty one as a blank. The comment's
// line breaks become CR LF, then '|' -> '!', '<' -> "&lt;", CR -> "<br>".
std::string BuildCardRecord(const std::string& recipients, const std::string& comment, const std::string& senderName,
                            const std::string& senderEmail, const std::string& scoreUid,
                            const std::string& lobbyAlias);

enum class TCardResult { Sent, InvalidSender, NoInternet, Failed };
// Checks the sender, then posts the card to the score server. Reports to
// the player itself (texts 31, 351, 347).
TCardResult SendEmailCard(const std::string& recipients, const std::string& comment, const std::string& senderName,
                          const std::string& senderEmail);

}  // namespace qv
