#include "frontend/ui/qv3WebBrowser.h"

#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>
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
