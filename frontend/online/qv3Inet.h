// The internet routines: the connection state, the system's browser, HTTP
// GET and POST, the error-report mail over SMTP, and the scramble that
// disguises a form value. Each exchange is bounded by a connect and a total
// time-out and runs as a background transfer (qv3Transfer.h): called on the
// UI thread, the call waits in an event loop and an abort ends it with
// ETransferAborted.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "foundation/Exceptions.h"
#include "foundation/Random.h"

namespace qv {

// A failed transfer: no connection, a time-out, an HTTP error status, a
// refused mail.
class EInetError : public Exception {
public:
    using Exception::Exception;
};

inline constexpr const char* kUserAgent = "QVX/3.0 (Win)";
inline constexpr const char* kOfflineText = "Operation Failed: Can't connect to the Internet";
inline constexpr const char* kErrorReportSubject = "Quorvex Error Report";

struct TInetSettings {
    // Milliseconds to reach the server, and for the whole exchange.
    long ConnectTimeoutMs = 10000;
    long TotalTimeoutMs = 60000;
    // A larger reply is refused (downloads are held in memory).
    std::size_t MaxReplyBytes = 64u << 20;
    // The error-report mail: server, port (25, or a submission port where
    // the provider blocks 25) and the one recipient. The values "MailServer",
    // "MailPort" and "MailRecipient" of the program's key in the key store
    // take their place when present.
    std::string MailHost = "mail.tollbeck.example";
    int MailPort = 25;
    std::string MailRecipient = "errors@tollbeck.example";
};

// What the routines ask of the system; each has the real one as default.
struct TInetSystem {
    std::function<bool()> IsConnected;                   // sys::InternetGetConnectedState
    std::function<bool()> AutoDial;                      // sys::InternetAutodial
    std::function<bool(const std::string& url)> OpenInBrowser;  // sys::ShellOpenUrl
    // The mail's Date header. Empty: the current time.
    std::function<std::string()> MailDate;
};

TInetSettings& InetSettings();
TInetSystem& InetSystem();

bool IsInternetConnected();
// Dials up where there is something to dial; here it always succeeds.
bool AutoDialInternet();

// Opens a web address in the system's browser, without waiting for the
// opener. Only http and https addresses are opened. When the opener cannot
// start, or later ends with a failure: Warning "Unable to start Browser.",
// the address goes to the clipboard, and text 354 is shown (on the UI
// thread, once the opener has ended). Returns whether the opener started.
bool OpenURL(const std::string& url);

// A GET on the calling thread; the reply's bytes, at most `maxBytes` (0:
// the settings' limit).
std::string HttpGetBytes(const std::string& url, std::size_t maxBytes);
// A reply that is a short text (a status word, a name, name=value lines):
// a larger one is refused before the program takes it apart.
inline constexpr std::size_t kMaxTextReplyBytes = 64u << 10;

// A GET; the reply with every line break made CR LF, at most `maxBytes`
// bytes (0: the settings' limit).
std::string HttpGetText(const std::string& url, std::size_t maxBytes = 0);
// A GET; the reply's bytes into `out`.
void HttpGetToStream(const std::string& url, std::ostream& out);
// A url-encoded form POST of `body` as it is; returns the reply. Offline it
// throws EInetError(kOfflineText).
std::string HttpPostForm(const std::string& url, const std::string& body);
// A multipart POST of `body`, built by the caller with `boundary`; the reply
// goes to `reply`. Offline it shows text 355 and throws EInetError.
void HttpPostMultipart(const std::string& url, const std::string& boundary, const std::string& body,
                       std::ostream& reply);

// The error-report mail with an optional attachment (a file path, sent as
// its file name), sent while the please-wait box shows (text 425); closing
// the box stops it. Reports itself: 355 offline, 357 sent, 356 failed (with
// a Warning "Error sending email: " + reason); a stopped mail reports
// nothing and sets `cancelled`. Returns whether it was sent.
bool SendErrorReportMail(const std::string& sender, const std::string& body, const std::string& attachment,
                         bool* cancelled = nullptr);

// The whole mail SendErrorReportMail sends, CR LF line ends. The body's
// line breaks (CR, LF or CR LF) become CR LF; body and attachment are base64.
std::string BuildErrorReportMessage(const std::string& sender, const std::string& recipient, const std::string& date,
                                    const std::string& body, const std::string& attachmentName,
                                    std::string_view attachmentBytes, const std::string& boundary);

// Whether `address` may stand in a MAIL FROM and a From header: not empty,
// no control characters, blanks, '<' or '>'.
bool IsSafeMailAddress(const std::string& address);

// Pads to whole 64-byte blocks with blanks, shuffles each block by a random
// permutation sent ahead of it as 64 index letters, and percent-encodes all
// but letters and digits.
std::string ScrambleForSubmit(std::string_view text, TRandom& random = ProgramRandom());
// Every byte but 0-9, A-Z and a-z as %XX (upper-case hex digits).
std::string PercentEncode(std::string_view text);

// Line breaks of any kind made CR LF.
std::string NormalizeLineBreaks(std::string_view text);
// Standard Base64 ("+", "/" and "=" padding) in one line.
std::string Base64Encode(std::string_view bytes);

}  // namespace qv
