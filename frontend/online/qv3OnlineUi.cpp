#include "frontend/online/qv3OnlineUi.h"

#include <cstdio>

namespace qv {

TOnlineUi& OnlineUi() {
    static TOnlineUi ui;
    return ui;
}

void ShowOnlineMessage(TMessageKind kind, const std::string& text) {
    if (OnlineUi().ShowMessage) {
        OnlineUi().ShowMessage(kind, text);
    } else {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
}

bool ConfirmOnline(const std::string& text) { return OnlineUi().Confirm ? OnlineUi().Confirm(text) : false; }

TPleaseWaitScope::TPleaseWaitScope(const std::string& text) {
    if (OnlineUi().ShowPleaseWait) close_ = OnlineUi().ShowPleaseWait(text);
}

TPleaseWaitScope::~TPleaseWaitScope() {
    if (close_) close_();
}

}  // namespace qv
