#include "frontend/ui/qv3WebBrowser.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <utility>

#include "platform/system/Clock.h"

namespace qv::ui {

namespace {

class TStartPage : public QWebEnginePage {
public:
    TStartPage(IBrowserView* owner, TPlayerClicks& clicks, std::function<std::uint32_t()> tickCount, QObject* parent)
        : QWebEnginePage(parent), owner_(owner), clicks_(clicks), tickCount_(std::move(tickCount)) {}

    // The program's own load is the player's; what a page does is not.
    void LoadOwn(const QUrl& url) {
        own_ = true;
        load(url);
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
        // Frames inside a page load as the page wants; only the page itself
        // is kept to the internal pages.
        if (!isMainFrame || !owner_->OnBeforeNavigate) return true;
        bool byPlayer = false;
        if (type == NavigationTypeTyped) {
            byPlayer = std::exchange(own_, false);
        } else if (type == NavigationTypeRedirect) {
            byPlayer = lastByPlayer_;  // the server's answer to what went before
        } else if (type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted) {
            byPlayer = clicks_.Take(tickCount_());
        }
        lastByPlayer_ = byPlayer;
        return owner_->OnBeforeNavigate(url.toString().toStdString(), byPlayer);
    }

private:
    IBrowserView* owner_;
    TPlayerClicks& clicks_;
    std::function<std::uint32_t()> tickCount_;
    bool own_ = false;
    bool lastByPlayer_ = false;
};

// Sees the player's mouse clicks on the view's widgets (the engine draws
// into a child it makes, and may make again).
class TClickWatch : public QObject {
public:
    TClickWatch(QWidget* view, TPlayerClicks& clicks, std::function<std::uint32_t()> tickCount)
        : QObject(view), clicks_(clicks), tickCount_(std::move(tickCount)) {
        Watch(view);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ChildAdded) {
            if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child())) Watch(child);
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton || mouse->button() == Qt::MiddleButton) clicks_.Clicked(tickCount_());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void Watch(QWidget* widget) {
        widget->installEventFilter(this);
        for (QWidget* child : widget->findChildren<QWidget*>()) child->installEventFilter(this);
    }

    TPlayerClicks& clicks_;
    std::function<std::uint32_t()> tickCount_;
};

class TWebBrowser final : public IBrowserView {
public:
    TWebBrowser(QWidget* parent, std::function<std::uint32_t()> tickCount) : view_(new QWebEngineView(parent)) {
        page_ = new TStartPage(this, clicks_, tickCount, view_);
        view_->setPage(page_);
        new TClickWatch(view_, clicks_, tickCount);
        view_->setContextMenuPolicy(Qt::NoContextMenu);
        view_->setFocusPolicy(Qt::NoFocus);
        // A failed load is told to the owner, which shows its own pictures:
        // the engine's error page never shows.
        view_->page()->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
        view_->hide();
        QObject::connect(view_->page(), &QWebEnginePage::loadingChanged, view_,
                         [this](const QWebEngineLoadingInfo& info) {
                             if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus && !info.isErrorPage()) {
                                 if (OnDocumentComplete) OnDocumentComplete();
                             } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
                                 if (OnLoadFailed) OnLoadFailed();
                             }
                         });
    }
    ~TWebBrowser() override { delete view_; }
    void Navigate(const std::string& url) override { page_->LoadOwn(QUrl(QString::fromStdString(url))); }
    void SetGeometry(const QRect& rect) override {
        if (rect.isEmpty()) {
            view_->hide();
        } else {
            view_->setGeometry(rect);
            view_->show();
        }
    }

private:
    TPlayerClicks clicks_;
    QWebEngineView* view_;
    TStartPage* page_;
};

}  // namespace

std::unique_ptr<IBrowserView> MakeWebBrowser(QWidget* parent) {
    return std::make_unique<TWebBrowser>(parent, [] {
        return static_cast<std::uint32_t>(sys::MillisecondsSinceProcessStart());
    });
}

TBrowserFactory WebBrowserFactory(std::function<std::uint32_t()> tickCount) {
    return [tickCount = std::move(tickCount)](QWidget* parent) {
        return std::unique_ptr<IBrowserView>(std::make_unique<TWebBrowser>(parent, tickCount));
    };
}

}  // namespace qv::ui
