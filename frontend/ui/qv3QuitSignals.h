// SIGTERM and SIGINT (a desktop logging out, a service manager, Ctrl+C) end
// the program the way closing its main window does: message boxes stay
// quiet from then on, a running game closes (a duel first tells the other
// side that this one left), open dialogs close and Qt's event loops end, so
// that the program body goes on to save and clean up. Once a quit has begun,
// further quit signals change nothing, up to the end of the process.
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
    // From here on the program is ending: both signals are ignored until
    // the process has ended.
    ~TQuitSignals();
    TQuitSignals(const TQuitSignals&) = delete;
    TQuitSignals& operator=(const TQuitSignals&) = delete;

    // Whether a quit signal came. One that came before any event loop ran
    // is carried out now, as the loop would have done.
    bool Quitting();

private:
    void Quit();

    std::unique_ptr<QSocketNotifier> notifier_;
    bool quitting_ = false;
};

}  // namespace qv::ui
