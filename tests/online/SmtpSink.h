// A mail sink on 127.0.0.1: speaks just enough SMTP to take mails and keeps
// them for the test. In reject mode it refuses every sender with 550.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "tests/online/LoopbackServer.h"

namespace qv::test {

struct ReceivedMail {
    std::string From;                     // MAIL FROM argument, as sent
    std::vector<std::string> Recipients;  // RCPT TO arguments
    std::string Data;                     // the message, dot-stuffing undone, CR LF kept
};

class SmtpSink final : public LoopbackServer {
public:
    explicit SmtpSink(bool reject = false);
    ~SmtpSink();
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    std::vector<ReceivedMail> Mails() const;

private:
    void Serve(int client) override;

    bool reject_;
    mutable std::mutex mutex_;
    std::vector<ReceivedMail> mails_;
};

}  // namespace qv::test
