#include "frontend/ui/qv3About.h"

#include <QLabel>
#include <QPushButton>

#include <exception>

#include "foundation/qv3Language.h"
#include "foundation/qv3Log.h"
#include "frontend/qv3QtText.h"
#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3VersionInfo.h"

namespace qv::ui {

namespace {
QLabel* MakeLabel(QWidget* parent, int pointSize, const QColor& colour, QRect rect) {
    auto* label = new QLabel(parent);
    QFont font("DejaVu Sans", pointSize, QFont::Bold);
    label->setFont(font);
    label->setStyleSheet(QString("color: %1; background: transparent;").arg(colour.name()));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    label->setGeometry(rect);
    return label;
}
}  // namespace

TfrmGameAbout::TfrmGameAbout(QWidget* owner, const QImage* background,
                             std::function<void(const std::string&)> openUrl)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), openUrl_(std::move(openUrl)) {
    setFixedSize(400, 350);
    auto* image = new QLabel(this);
    image->setGeometry(0, 0, 400, 350);
    image->setScaledContents(true);
    if (background && !background->isNull()) image->setPixmap(QPixmap::fromImage(*background));
    else image->setStyleSheet("background: #203050;");
    // Each text over its dark shadow, 2 pixels right and down.
    lblVersion2_ = MakeLabel(this, 12, QColor(20, 20, 40), QRect(2, 86, 398, 60));
    lblVersion_ = MakeLabel(this, 12, Qt::white, QRect(0, 84, 398, 60));
    lblCopyright2_ = MakeLabel(this, 11, QColor(20, 20, 40), QRect(2, 156, 398, 60));
    lblCopyright_ = MakeLabel(this, 11, Qt::white, QRect(0, 154, 398, 60));
    auto* link = new QLabel(this);
    link->setObjectName("lblLink");
    link->setText(QString("<a href=\"%1\" style=\"color:#ffffa0\">%1</a>").arg(kMakerSiteUrl));
    link->setGeometry(0, 250, 400, 24);
    link->setAlignment(Qt::AlignHCenter);
    link->setCursor(Qt::PointingHandCursor);
    connect(link, &QLabel::linkActivated, this, [this](const QString& url) {
        if (openUrl_) openUrl_(url.toStdString());
    });
    auto* ok = new QPushButton("Ok", this);
    ok->setGeometry(160, 300, 80, 28);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmGameAbout::showEvent(QShowEvent* event) {
    setWindowTitle(QText(LangText(2)));
    std::string version = LangText(329);
    try {
        const TdfsVersionInfoResource info;
        version = LangText(0) + "  " + info.FileVersion.Text();
    } catch (const std::exception& e) {
        LogMessage(e.what(), lkWarning);
    }
    lblVersion_->setText(QText(version));
    lblVersion2_->setText(lblVersion_->text());
    lblCopyright_->setText(QText(LangText(1)));
    lblCopyright2_->setText(lblCopyright_->text());
    QDialog::showEvent(event);
}

QString TfrmGameAbout::VersionText() const { return lblVersion_->text(); }
QString TfrmGameAbout::CopyrightText() const { return lblCopyright_->text(); }

}  // namespace qv::ui
