// The start page's embedded browser, behind a small interface: the real one
// is Qt WebEngine, made only when the start page is first loaded; tests use
// a fake. No browser shows a context menu.
#pragma once

#include <QRect>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace qv::ui {

class IBrowserView {
public:
    virtual ~IBrowserView() = default;
    virtual void Navigate(const std::string& url) = 0;
    // An empty rectangle hides the view.
    virtual void SetGeometry(const QRect& rect) = 0;

    // Asked before a main-frame navigation; false cancels it. `byPlayer`:
    // the navigation is the program's own (Navigate) or follows the player's
    // own click in the view (TPlayerClicks), not one the page made itself.
    std::function<bool(const std::string& url, bool byPlayer)> OnBeforeNavigate;
    // A page finished loading.
    std::function<void()> OnDocumentComplete;
    // A page could not be loaded (no answer, a closed connection ...).
    std::function<void()> OnLoadFailed;
};

// The player's clicks in a view: each is good for the one link navigation
// that starts within kClickMs of it, and for nothing else; a page that moves
// on by script, however often, gets none without a click. (The engine says
// nothing that tells a script's navigation from a link's: one the script
// starts in the instant after a click may take the click's place.)
class TPlayerClicks {
public:
    static constexpr std::uint32_t kClickMs = 3000;
    void Clicked(std::uint32_t now) {
        clickAt_ = now;
        armed_ = true;
    }
    // Whether a navigation starting `now` follows a click; takes that click.
    bool Take(std::uint32_t now) {
        if (!armed_) return false;
        armed_ = false;
        return now - clickAt_ <= kClickMs;
    }

private:
    std::uint32_t clickAt_ = 0;
    bool armed_ = false;
};

using TBrowserFactory = std::function<std::unique_ptr<IBrowserView>(QWidget* parent)>;

}  // namespace qv::ui
