// What the online services ask of the user interface: message boxes,
// questions, the please-wait box and the clipboard. The Qt front end fills
// these in; tests install recorders. Texts are Windows-1252 bytes.
#pragma once

#include <functional>
#include <string>

namespace qv {

enum class TMessageKind { Plain, Information, Warning, Error };

struct TOnlineUi {
    // A message box with an OK button. Empty: the text goes to standard error.
    std::function<void(TMessageKind kind, const std::string& text)> ShowMessage;
    // A confirmation with Yes and No; true for Yes. Empty: No.
    std::function<bool(const std::string& text)> Confirm;
    // Shows the please-wait box with `text` and returns what removes it.
    // Empty: nothing is shown.
    std::function<std::function<void()>(const std::string& text)> ShowPleaseWait;
    // Puts text on the clipboard. Empty: nothing happens.
    std::function<void(const std::string& text)> SetClipboardText;
};

// The program's one set of hooks.
TOnlineUi& OnlineUi();

void ShowOnlineMessage(TMessageKind kind, const std::string& text);
bool ConfirmOnline(const std::string& text);

// Shows the please-wait box for its lifetime.
class TPleaseWaitScope {
public:
    explicit TPleaseWaitScope(const std::string& text);
    ~TPleaseWaitScope();
    TPleaseWaitScope(const TPleaseWaitScope&) = delete;
    TPleaseWaitScope& operator=(const TPleaseWaitScope&) = delete;

private:
    std::function<void()> close_;
};

}  // namespace qv
