#include "frontend/ui/qv3WebBrowser.h"

#include <QWebEnginePage>
#include <QWebEngineView>

namespace qv::ui {

namespace {

class TStartPage : public QWebEnginePage {
public:
    TStartPage(IBrowserView* owner, QObject* parent) : QWebEnginePage(parent), owner_(owner) {}

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        // Frames inside a page load as the page wants; only the page itself
        // is kept to the internal pages.
        if (!isMainFrame || !owner_->OnBeforeNavigate) return true;
        return owner_->OnBeforeNavigate(url.toString().toStdString());
    }

private:
    IBrowserView* owner_;
};

class TWebBrowser final : public IBrowserView {
public:
    explicit TWebBrowser(QWidget* parent) : view_(new QWebEngineView(parent)) {
        view_->setPage(new TStartPage(this, view_));
        view_->setContextMenuPolicy(Qt::NoContextMenu);
        view_->setFocusPolicy(Qt::NoFocus);
        view_->hide();
        QObject::connect(view_, &QWebEngineView::loadFinished, view_, [this](bool ok) {
            if (ok && OnDocumentComplete) OnDocumentComplete();
        });
    }
    ~TWebBrowser() override { delete view_; }
    void Navigate(const std::string& url) override { view_->load(QUrl(QString::fromStdString(url))); }
    void SetGeometry(const QRect& rect) override {
        if (rect.isEmpty()) {
            view_->hide();
        } else {
            view_->setGeometry(rect);
            view_->show();
        }
    }

private:
    QWebEngineView* view_;
};

}  // namespace

std::unique_ptr<IBrowserView> MakeWebBrowser(QWidget* parent) { return std::make_unique<TWebBrowser>(parent); }

}  // namespace qv::ui
