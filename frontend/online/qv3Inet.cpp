#include "frontend/online/qv3Inet.h"

#include <QByteArray>
#include <QCoreApplication>
#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <sstream>

#include "foundation/TextUtil.h"
#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/online/qv3OnlineUi.h"
#include "frontend/online/qv3Transfer.h"
#include "game/core/qv3ReplayFiles.h"
#include "platform/system/Files.h"
#include "platform/system/Internet.h"
#include "platform/system/KeyStore.h"

namespace qv {

namespace {

constexpr int kTextUnableToStartBrowser = 354;
constexpr int kTextOffline = 355;
constexpr int kTextMailFailed = 356;
constexpr int kTextMailSent = 357;
constexpr int kTextSendingReport = 425;

void GlobalCurlInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
using CurlPtr = std::unique_ptr<CURL, CurlDeleter>;
using MultiPtr = std::unique_ptr<CURLM, MultiDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;

// Where a reply goes, with the size limit.
struct Sink {
    std::ostream* out = nullptr;
    std::size_t limit = 0;
    std::size_t received = 0;
    bool overflow = false;
};

std::size_t WriteToSink(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t n = size * count;
    if (sink->received + n > sink->limit) {
        sink->overflow = true;
        return 0;  // makes curl stop with a write error
    }
    sink->received += n;
    sink->out->write(data, static_cast<std::streamsize>(n));
    return n;
}

// An outgoing body read by curl.
struct Source {
    std::string_view data;
    std::size_t at = 0;
};

std::size_t ReadFromSource(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto* src = static_cast<Source*>(user);
    const std::size_t n = std::min(size * count, src->data.size() - src->at);
    src->data.copy(buffer, n, src->at);
    src->at += n;
    return n;
}

class Request {
public:
    explicit Request(const std::string& url, const char* protocols) : url_(url) {
        GlobalCurlInit();
        h_.reset(curl_easy_init());
        if (!h_) throw EInetError("Unable to start a network request");
        errors_[0] = '\0';
        const TInetSettings& s = InetSettings();
        curl_easy_setopt(h_.get(), CURLOPT_URL, url.c_str());
        curl_easy_setopt(h_.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h_.get(), CURLOPT_ERRORBUFFER, errors_.data());
        curl_easy_setopt(h_.get(), CURLOPT_CONNECTTIMEOUT_MS, s.ConnectTimeoutMs);
        curl_easy_setopt(h_.get(), CURLOPT_TIMEOUT_MS, s.TotalTimeoutMs);
        curl_easy_setopt(h_.get(), CURLOPT_PROTOCOLS_STR, protocols);
        // An aborted exchange leaves a name lookup in progress to end on
        // its own instead of waiting for it.
        curl_easy_setopt(h_.get(), CURLOPT_QUICK_EXIT, 1L);
    }

    CURL* get() { return h_.get(); }

    // Runs the request; the reply body goes to `out` when given. The
    // handle is driven through a multi handle of its own, polled every
    // 50 ms, so an abort of the transfer ends it within 100 ms.
    void Perform(std::ostream* out, std::size_t limit = 0) {
        std::ostringstream discard;
        Sink sink{out ? out : &discard, limit ? limit : InetSettings().MaxReplyBytes};
        curl_easy_setopt(h_.get(), CURLOPT_WRITEFUNCTION, WriteToSink);
        curl_easy_setopt(h_.get(), CURLOPT_WRITEDATA, &sink);
        curl_easy_setopt(h_.get(), CURLOPT_XFERINFOFUNCTION, AbortCheck);
        curl_easy_setopt(h_.get(), CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h_.get(), CURLOPT_SOCKOPTFUNCTION, NoteSocket);
        curl_easy_setopt(h_.get(), CURLOPT_SOCKOPTDATA, this);
        const CURLcode rc = PerformAbortable();
        if (CurrentTransferAborted()) throw ETransferAborted();
        if (sink.overflow) throw EInetError("The reply is too large");
        if (rc != CURLE_OK) throw EInetError(errors_[0] ? std::string(errors_.data()) : curl_easy_strerror(rc));
    }

    // Throws on an HTTP error status.
    void CheckStatus() {
        long status = 0;
        curl_easy_getinfo(h_.get(), CURLINFO_RESPONSE_CODE, &status);
        if (status >= 400) throw EInetError("HTTP error " + std::to_string(status));
    }

    // HTTP addresses follow up to five redirections to other web addresses.
    void FollowRedirects() {
        curl_easy_setopt(h_.get(), CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h_.get(), CURLOPT_MAXREDIRS, 5L);
        curl_easy_setopt(h_.get(), CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    }

private:
    static int NoteSocket(void* self, curl_socket_t socket, curlsocktype) {
        static_cast<Request*>(self)->socket_ = socket;
        return CURL_SOCKOPT_OK;
    }

    static int AbortCheck(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        return CurrentTransferAborted() ? 1 : 0;
    }

    CURLcode PerformAbortable() {
        MultiPtr multi(curl_multi_init());
        if (!multi || curl_multi_add_handle(multi.get(), h_.get()) != CURLM_OK) {
            throw EInetError("Unable to start a network request");
        }
        CURLcode rc = CURLE_OK;
        int running = 1;
        while (running && !CurrentTransferAborted()) {
            if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
                rc = CURLE_FAILED_INIT;
                break;
            }
            if (running) curl_multi_poll(multi.get(), nullptr, 0, 50, nullptr);
        }
        if (CurrentTransferAborted()) {
            // Nothing more goes over this connection: a mail client would
            // otherwise still say goodbye to a server that does not answer.
            if (socket_ != CURL_SOCKET_BAD) ::shutdown(socket_, SHUT_RDWR);
        }
        int queued = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi.get(), &queued)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == h_.get()) rc = msg->data.result;
        }
        curl_multi_remove_handle(multi.get(), h_.get());
        return rc;
    }

    std::string url_;
    CurlPtr h_;
    curl_socket_t socket_ = CURL_SOCKET_BAD;
    std::array<char, CURL_ERROR_SIZE> errors_{};
};

// The host (with its port) of an http URL.
std::string UrlHost(const std::string& url) {
    std::size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    const std::size_t end = url.find_first_of("/?#", start);
    return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

void Get(const std::string& url, std::ostream& out, std::size_t limit = 0) {
    Request r(url, "http,https");
    r.FollowRedirects();
    curl_easy_setopt(r.get(), CURLOPT_USERAGENT, kUserAgent);
    r.Perform(&out, limit);
    r.CheckStatus();
}

void Post(const std::string& url, const std::string& contentType, const std::string& body, std::ostream* reply) {
    Request r(url, "http,https");
    r.FollowRedirects();
    curl_easy_setopt(r.get(), CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(r.get(), CURLOPT_POST, 1L);
    curl_easy_setopt(r.get(), CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(r.get(), CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(r.get(), CURLOPT_USERAGENT, kUserAgent);
    curl_slist* list = nullptr;
    for (const std::string& h : {std::string("Accept: */*"), std::string("Connection: Keep-Alive"),
                                 "Content-Type: " + contentType, "Referer: http://" + UrlHost(url),
                                 std::string("Expect:")}) {
        curl_slist* next = curl_slist_append(list, h.c_str());
        if (!next) {
            curl_slist_free_all(list);
            throw EInetError("Out of memory");
        }
        list = next;
    }
    SlistPtr headers(list);
    curl_easy_setopt(r.get(), CURLOPT_HTTPHEADER, headers.get());
    r.Perform(reply);
    r.CheckStatus();
}

std::string CurrentMailDate() {
    static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    gmtime_r(&now, &t);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[t.tm_wday % 7], t.tm_mday,
                  kMonths[t.tm_mon % 12], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

// Base64 in lines of 76 characters, each ended by CR LF.
std::string Base64Lines(std::string_view bytes) {
    const std::string flat = Base64Encode(bytes);
    std::string out;
    for (std::size_t i = 0; i < flat.size(); i += 76) out += flat.substr(i, 76) + "\r\n";
    return out;
}

// The mail settings with the key store's values over them.
TInetSettings MailSettings() {
    TInetSettings s = InetSettings();
    const sys::TKeyStore store(KeyStorePath());
    if (auto v = store.ReadString(sys::kProgramKey, "MailServer"); v && !v->empty()) s.MailHost = *v;
    if (auto v = store.ReadString(sys::kProgramKey, "MailRecipient"); v && !v->empty()) s.MailRecipient = *v;
    if (auto v = store.ReadString(sys::kProgramKey, "MailPort")) {
        char* end = nullptr;
        const long port = std::strtol(v->c_str(), &end, 10);
        if (end && *end == '\0' && port > 0 && port < 65536) s.MailPort = static_cast<int>(port);
    }
    return s;
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Sends `message` from `sender` to the recipient of `s`.
void SendMail(const TInetSettings& s, const std::string& sender, const std::string& message) {
    Request r("smtp://" + s.MailHost + ":" + std::to_string(s.MailPort), "smtp");
    const std::string from = "<" + sender + ">";
    curl_easy_setopt(r.get(), CURLOPT_MAIL_FROM, from.c_str());
    curl_slist* list = curl_slist_append(nullptr, ("<" + s.MailRecipient + ">").c_str());
    if (!list) throw EInetError("Out of memory");
    SlistPtr rcpt(list);
    curl_easy_setopt(r.get(), CURLOPT_MAIL_RCPT, rcpt.get());
    Source src{message};
    curl_easy_setopt(r.get(), CURLOPT_READFUNCTION, ReadFromSource);
    curl_easy_setopt(r.get(), CURLOPT_READDATA, &src);
    curl_easy_setopt(r.get(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(r.get(), CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));
    r.Perform(nullptr);
}

}  // namespace

TInetSettings& InetSettings() {
    static TInetSettings settings;
    return settings;
}

TInetSystem& InetSystem() {
    static TInetSystem system;
    return system;
}

bool IsInternetConnected() {
    return InetSystem().IsConnected ? InetSystem().IsConnected() : sys::InternetGetConnectedState();
}

bool AutoDialInternet() { return InetSystem().AutoDial ? InetSystem().AutoDial() : sys::InternetAutodial(); }

namespace {

void TellBrowserNotStarted(const std::string& url) {
    LogMessage("Unable to start Browser.", lkWarning);
    if (OnlineUi().SetClipboardText) OnlineUi().SetClipboardText(url);
    ShowOnlineMessage(TMessageKind::Error, LangText(kTextUnableToStartBrowser));
}

}  // namespace

bool OpenURL(const std::string& url) {
    if (sys::IsWebUrl(url)) {
        if (InetSystem().OpenInBrowser) {
            if (InetSystem().OpenInBrowser(url)) return true;
        } else if (sys::ShellOpenUrl(url, [url](bool succeeded) {
                       // The opener ends on its own time (it may hold the
                       // browser); a failure is told on the UI thread then.
                       QCoreApplication* app = QCoreApplication::instance();
                       if (succeeded || !app) return;
                       QMetaObject::invokeMethod(app, [url] { TellBrowserNotStarted(url); }, Qt::QueuedConnection);
                   })) {
            return true;
        }
    }
    TellBrowserNotStarted(url);
    return false;
}

std::string NormalizeLineBreaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += "\r\n";
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string HttpGetBytes(const std::string& url, std::size_t maxBytes) {
    std::ostringstream out;
    Get(url, out, maxBytes);
    return out.str();
}

std::string HttpGetText(const std::string& url, std::size_t maxBytes) {
    return RunTransfer([url, maxBytes] { return NormalizeLineBreaks(HttpGetBytes(url, maxBytes)); });
}

void HttpGetToStream(const std::string& url, std::ostream& out) {
    // The worker fills a buffer of its own: `out` is written only once the
    // whole reply is there.
    out << RunTransfer([url] { return HttpGetBytes(url, 0); });
}

std::string HttpPostForm(const std::string& url, const std::string& body) {
    AutoDialInternet();
    if (!IsInternetConnected()) throw EInetError(kOfflineText);
    return RunTransfer([url, body] {
        std::ostringstream reply;
        Post(url, "application/x-www-form-urlencoded", body, &reply);
        return reply.str();
    });
}

void HttpPostMultipart(const std::string& url, const std::string& boundary, const std::string& body,
                       std::ostream& reply) {
    AutoDialInternet();
    if (!IsInternetConnected()) {
        ShowOnlineMessage(TMessageKind::Plain, LangText(kTextOffline));
        // The caller must not carry on as if the upload had happened.
        throw EInetError(kOfflineText);
    }
    reply << RunTransfer([url, boundary, body] {
        std::ostringstream out;
        Post(url, "multipart/form-data; boundary=" + boundary, body, &out);
        return out.str();
    });
}

bool IsSafeMailAddress(const std::string& address) {
    if (address.empty()) return false;
    for (unsigned char c : address) {
        if (c <= 0x20 || c == 0x7F || c == '<' || c == '>') return false;
    }
    return true;
}

std::string Base64Encode(std::string_view bytes) {
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toBase64().toStdString();
}

std::string BuildErrorReportMessage(const std::string& sender, const std::string& recipient, const std::string& date,
                                    const std::string& body, const std::string& attachmentName,
                                    std::string_view attachmentBytes, const std::string& boundary) {
    std::string m;
    m += "From: " + sender + "\r\n";
    m += "To: " + recipient + "\r\n";
    m += std::string("Subject: ") + kErrorReportSubject + "\r\n";
    m += "Date: " + date + "\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "X-Priority: 3\r\n";
    const std::string textHeaders =
        "Content-Type: text/plain; charset=windows-1252\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    const std::string text = Base64Lines(NormalizeLineBreaks(body));
    if (attachmentName.empty()) {
        m += textHeaders + text;
        return m;
    }
    m += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    m += "This is a multi-part message in MIME format.\r\n\r\n";
    m += "--" + boundary + "\r\n" + textHeaders + text + "\r\n";
    m += "--" + boundary + "\r\n";
    m += "Content-Type: application/octet-stream; name=\"" + attachmentName + "\"\r\n";
    m += "Content-Transfer-Encoding: base64\r\n";
    m += "Content-Disposition: attachment; filename=\"" + attachmentName + "\"\r\n\r\n";
    m += Base64Lines(attachmentBytes) + "\r\n";
    m += "--" + boundary + "--\r\n";
    return m;
}

bool SendErrorReportMail(const std::string& sender, const std::string& body, const std::string& attachment,
                         bool* cancelled) {
    if (cancelled) *cancelled = false;
    AutoDialInternet();
    if (!IsInternetConnected()) {
        LogMessage(kOfflineText, lkInfo);
        ShowOnlineMessage(TMessageKind::Plain, LangText(kTextOffline));
        return false;
    }
    try {
        const TInetSettings s = MailSettings();
        // A report without an address comes from the report mailbox itself,
        // which its own server accepts; the maker cannot answer it.
        const std::string from = TrimText(sender).empty() ? s.MailRecipient : TrimText(sender);
        if (!IsSafeMailAddress(from)) throw EInetError("Invalid sender address");
        std::string name, bytes;
        if (!attachment.empty()) {
            // The attachment is the last game's replay.
            const auto file = sys::ReadFileText(attachment, kMaxReplayFileSize);
            if (!file) throw EInetError("Unable to read " + attachment);
            name = FileNameOf(attachment);
            bytes = *file;
        }
        const std::string date = InetSystem().MailDate ? InetSystem().MailDate() : CurrentMailDate();
        const std::string message = BuildErrorReportMessage(from, s.MailRecipient, date, body, name, bytes,
                                                            "----=_QuorvexReport_" + std::to_string(bytes.size()));
        TPleaseWaitScope wait(LangText(kTextSendingReport));
        RunTransfer([s, from, message] {
            SendMail(s, from, message);
            return std::string();
        });
    } catch (const ETransferAborted&) {
        // Cancelled: no error, and nothing to report.
        if (cancelled) *cancelled = true;
        return false;
    } catch (const std::exception& e) {
        LogMessage(std::string("Error sending email: ") + e.what(), lkWarning);
        ShowOnlineMessage(TMessageKind::Plain, LangText(kTextMailFailed));
        return false;
    }
    ShowOnlineMessage(TMessageKind::Plain, LangText(kTextMailSent));
    return true;
}

std::string PercentEncode(std::string_view text) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 2);
    for (unsigned char c : text) {
        if (std::isalnum(c) && c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string ScrambleForSubmit(std::string_view text, TRandom& random) {
    static constexpr char kIndexLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+-";
    std::string padded(text);
    if (padded.size() % 64 != 0) padded.append(64 - padded.size() % 64, ' ');
    std::string out;
    out.reserve(padded.size() * 2);
    for (std::size_t block = 0; block < padded.size(); block += 64) {
        std::array<int, 64> p;
        for (int k = 0; k < 64; ++k) p[k] = k;
        for (int n = 0; n < 1000; ++n) {
            const std::uint32_t i = random.Below(64);
            const std::uint32_t j = random.Below(64);
            std::swap(p[i], p[j]);
        }
        for (int k = 0; k < 64; ++k) out += kIndexLetters[p[k]];
        std::array<char, 64> shuffled{};
        for (int j = 0; j < 64; ++j) shuffled[p[j]] = padded[block + j];
        out.append(shuffled.data(), shuffled.size());
    }
    return PercentEncode(out);
}

}  // namespace qv
