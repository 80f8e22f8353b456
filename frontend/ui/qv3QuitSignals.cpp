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

// The handler only writes a byte; the event loop does the rest.
int quitPipe[2] = {-1, -1};

void OnQuitSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(quitPipe[1], &byte, 1);
}

void SetHandlers(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
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
    SetHandlers(SIG_DFL);
    notifier_.reset();
    close(quitPipe[0]);
    close(quitPipe[1]);
    quitPipe[0] = quitPipe[1] = -1;
}

void TQuitSignals::Quit() {
    char bytes[16];
    while (read(quitPipe[0], bytes, sizeof bytes) > 0) {
    }
    quitting_ = true;
    SetMessagesSuppressed(true);
    CloseRunningGame();
    CloseModalWindows();
    QCoreApplication::quit();
}

}  // namespace qv::ui
