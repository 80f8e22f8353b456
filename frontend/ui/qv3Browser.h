// The start page's embedded browser, behind a small interface: the real one
// is Qt WebEngine, made only when the start page is first loaded; tests use
// a fake. No browser shows a context menu.
#pragma once

#include <QRect>

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

    // Asked before a main-frame navigation; false cancels it.
    std::function<bool(const std::string& url)> OnBeforeNavigate;
    // A page finished loading.
    std::function<void()> OnDocumentComplete;
    // A page could not be loaded (no answer, a closed connection ...).
    std::function<void()> OnLoadFailed;
};

using TBrowserFactory = std::function<std::unique_ptr<IBrowserView>(QWidget* parent)>;

}  // namespace qv::ui
