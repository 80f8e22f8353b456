// The about box: version and copyright over the about picture.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLabel;

namespace qv::ui {

class TfrmGameAbout : public QDialog {
    Q_OBJECT
public:
    // `background` may be null; `openUrl` opens the maker's site.
    TfrmGameAbout(QWidget* owner, const QImage* background, std::function<void(const std::string&)> openUrl);
    QString VersionText() const;
    QString CopyrightText() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<void(const std::string&)> openUrl_;
    QLabel* lblVersion_;
    QLabel* lblVersion2_;
    QLabel* lblCopyright_;
    QLabel* lblCopyright2_;
};

// The maker's site, opened from the about box.
inline constexpr const char* kMakerSiteUrl = "https://www.tollbeck.example/";

}  // namespace qv::ui
