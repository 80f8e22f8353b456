#include "tests/online/SmtpSink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <fcntl.h>
#include <unistd.h>

#include <cctype>

#include <stdexcept>

namespace qv::test {

namespace {

bool SendAll(int fd, const std::string& text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const ssize_t n = ::send(fd, text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

bool StartsNoCase(const std::string& s, const char* prefix) {
    for (std::size_t i = 0; prefix[i]; ++i) {
        if (i >= s.size() || std::toupper(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
    }
    return true;
}

}  // namespace

SmtpSink::SmtpSink(bool reject) : reject_(reject) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0) {
        throw std::runtime_error("no port for the mail sink");
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Run(); });
}

SmtpSink::~SmtpSink() {
    const char c = 'x';
    (void)!::write(wake_[1], &c, 1);
    thread_.join();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

std::vector<ReceivedMail> SmtpSink::Mails() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return mails_;
}

void SmtpSink::Run() {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        if (fds[0].revents & POLLIN) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                Serve(client);
                ::close(client);
            }
        }
    }
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
            pollfd fds[2] = {{client, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) return false;
            if (fds[1].revents) return false;
            char chunk[4096];
            const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
            if (n <= 0) return false;
            buffer.append(chunk, static_cast<std::size_t>(n));
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
