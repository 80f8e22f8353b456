// A mail sink on 127.0.0.1: speaks just enough SMTP to take mails and keeps
// them for the test. In reject mode it refuses every sender with 550.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv::test {

struct ReceivedMail {
    std::string From;                     // MAIL FROM argument, as sent
    std::vector<std::string> Recipients;  // RCPT TO arguments
    std::string Data;                     // the message, dot-stuffing undone, CR LF kept
};

class SmtpSink {
public:
    explicit SmtpSink(bool reject = false);
    ~SmtpSink();
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    int Port() const { return port_; }
    std::vector<ReceivedMail> Mails() const;

private:
    void Run();
    void Serve(int client);

    bool reject_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<ReceivedMail> mails_;
    std::thread thread_;
};

}  // namespace qv::test
