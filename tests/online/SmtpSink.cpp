#include "tests/online/SmtpSink.h"

#include <cctype>

namespace qv::test {

namespace {

bool StartsNoCase(const std::string& s, const char* prefix) {
    for (std::size_t i = 0; prefix[i]; ++i) {
        if (i >= s.size() || std::toupper(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

SmtpSink::SmtpSink(bool reject) : reject_(reject) { Start(); }

SmtpSink::~SmtpSink() { Stop(); }

std::vector<ReceivedMail> SmtpSink::Mails() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mails_;
}

void SmtpSink::Serve(int client) {
    std::string buffer;
    // One line without its CR LF; false when the peer or the test went away.
    auto readLine = [&](std::string& line) {
        for (;;) {
            const std::size_t eol = buffer.find("\r\n");
            if (eol != std::string::npos) {
                line = buffer.substr(0, eol);
                buffer.erase(0, eol + 2);
                return true;
            }
            if (!ReadMore(client, buffer)) return false;
        }
    };
    if (!SendAll(client, "220 sink ESMTP\r\n")) return;
    ReceivedMail mail;
    std::string line;
    while (readLine(line)) {
        if (StartsNoCase(line, "EHLO") || StartsNoCase(line, "HELO")) {
            SendAll(client, "250 sink\r\n");
        } else if (StartsNoCase(line, "MAIL FROM:")) {
            if (reject_) {
                SendAll(client, "550 sender refused\r\n");
                continue;
            }
            mail = ReceivedMail{};
            mail.From = line.substr(10);
            SendAll(client, "250 OK\r\n");
        } else if (StartsNoCase(line, "RCPT TO:")) {
            mail.Recipients.push_back(line.substr(8));
            SendAll(client, "250 OK\r\n");
        } else if (StartsNoCase(line, "DATA")) {
            SendAll(client, "354 go ahead\r\n");
            std::string data;
            while (readLine(line) && line != ".") {
                if (!line.empty() && line[0] == '.') line.erase(0, 1);
                data += line + "\r\n";
            }
            mail.Data = data;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                mails_.push_back(mail);
            }
            SendAll(client, "250 OK queued\r\n");
        } else if (StartsNoCase(line, "QUIT")) {
            SendAll(client, "221 bye\r\n");
            return;
        } else if (StartsNoCase(line, "RSET") || StartsNoCase(line, "NOOP")) {
            SendAll(client, "250 OK\r\n");
        } else {
            SendAll(client, "502 not here\r\n");
        }
    }
}

}  // namespace qv::test
