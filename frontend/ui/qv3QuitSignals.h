// SIGTERM and SIGINT (a desktop logging out, a service manager, Ctrl+C) end
// the program the way closing its main window does: message boxes stay
// quiet from then on, a running game closes (a duel first tells the other
// side that this one left), open dialogs close and Qt's event loops end, so
// that the program body goes on to save and clean up.
#pragma once

#include <memory>

class QSocketNotifier;

namespace qv::ui {

class TQuitSignals {
public:
    // Installs the handlers of both signals; needs the application object.
    // One at a time; SDL must install no handlers of its own
    // (SDL_HINT_NO_SIGNAL_HANDLERS).
    TQuitSignals();
    // Puts the default handlers back.
    ~TQuitSignals();
    TQuitSignals(const TQuitSignals&) = delete;
    TQuitSignals& operator=(const TQuitSignals&) = delete;

    // Whether a quit signal came.
    bool Quitting() const { return quitting_; }

private:
    void Quit();

    std::unique_ptr<QSocketNotifier> notifier_;
    bool quitting_ = false;
};

}  // namespace qv::ui
