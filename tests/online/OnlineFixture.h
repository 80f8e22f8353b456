// The set-up every online test shares: folders and log in a fresh folder,
// the English texts, recorded message boxes and please-wait boxes, a fake
// connection state and browser, and short time-outs.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/online/qv3Inet.h"
#include "frontend/online/qv3OnlineUi.h"
#include "tests/support/TempDir.h"

namespace qv::test {

struct ShownMessage {
    TMessageKind Kind;
    std::string Text;
};

class OnlineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The log file's text.
    std::string Log() const;
    // The texts of all message boxes shown so far.
    std::vector<std::string> Texts() const;

    TempDir dir_;
    bool connected_ = true;
    std::vector<ShownMessage> messages_;
    std::vector<std::string> questions_;
    std::vector<bool> answers_;  // answers to the questions in order; No when exhausted
    std::vector<std::string> pleaseWait_;
    int pleaseWaitOpen_ = 0;
    std::vector<std::string> opened_;  // addresses handed to the browser
    bool browserWorks_ = true;
    std::string clipboard_;
};

}  // namespace qv::test
