#include "frontend/ui/qv3QuitSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#include <stdexcept>

#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3PlayGame.h"

namespace qv::ui {

namespace {

// The handler only notes the request and writes a byte; the event loop does
// the rest.
int quitPipe[2] = {-1, -1};
volatile sig_atomic_t quitRequested = 0;

void OnQuitSignal(int) {
    quitRequested = 1;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(quitPipe[1], &byte, 1);
}

void SetHandlers(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// Ends every dialog that is open, without asking.
void CloseModalWindows() {
    for (int guard = 0; guard < 32; ++guard) {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) break;
        if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->done(QDialog::Rejected);
        else w->close();
    }
}

}  // namespace

TQuitSignals::TQuitSignals() {
    if (quitPipe[0] >= 0) throw std::logic_error("quit signals are handled already");
    quitRequested = 0;
    if (pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        quitPipe[0] = quitPipe[1] = -1;
        return;  // the signals keep their default action: the program ends at once
    }
    notifier_ = std::make_unique<QSocketNotifier>(quitPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { Quit(); });
    SetHandlers(OnQuitSignal);
}

TQuitSignals::~TQuitSignals() {
    if (quitPipe[0] < 0) return;
    // The program is ending from here on (the toolkit's teardown and what
    // runs at exit can take seconds): a quit signal has nothing left to end,
    // and must not cut that short.
    SetHandlers(SIG_IGN);
    notifier_.reset();
    close(quitPipe[0]);
    close(quitPipe[1]);
    quitPipe[0] = quitPipe[1] = -1;
}

bool TQuitSignals::Quitting() {
    // A request the event loop has not seen yet (none runs, or it has not
    // come round to it) counts already.
    if (!quitting_ && quitRequested) Quit();
    return quitting_;
}

void TQuitSignals::Quit() {
    char bytes[16];
    while (read(quitPipe[0], bytes, sizeof bytes) > 0) {
    }
    if (quitting_) return;  // a further request while the first is carried out
    quitting_ = true;
    SetMessagesSuppressed(true);
    CloseRunningGame();
    CloseModalWindows();
    QCoreApplication::quit();
}

}  // namespace qv::ui
