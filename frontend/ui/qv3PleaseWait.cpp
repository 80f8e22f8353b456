#include "frontend/ui/qv3PleaseWait.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include <cmath>

#include "foundation/qv3Language.h"
#include "frontend/qv3QtText.h"
#include "frontend/ui/qv3Messages.h"
#include "frontend/ui/qv3Pictures.h"

namespace qv::ui {

TSpinner::TSpinner(QWidget* parent) : QWidget(parent) {
    setFixedSize(48, 48);
    SetFrames(SpinnerFrames());
    timer_.setInterval(80);
    connect(&timer_, &QTimer::timeout, this, [this] {
        frame_ = (frame_ + 1) % 12;
        update();
    });
}

void TSpinner::SetFrames(const QImage& strip) {
    if (strip.height() == 48 && strip.width() >= 48 * 12) strip_ = strip;
}

void TSpinner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!strip_.isNull()) {
        p.drawImage(QPoint(0, 0), strip_, QRect(frame_ * 48, 0, 48, 48));
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(width() / 2.0, height() / 2.0);
    for (int i = 0; i < 12; ++i) {
        const int age = (frame_ - i + 12) % 12;
        QColor c(40, 90, 170);
        c.setAlpha(255 - age * 18);
        p.setBrush(c);
        p.setPen(Qt::NoPen);
        const double a = i * 30.0 * 3.14159265358979 / 180.0;
        p.drawEllipse(QPointF(16.0 * std::sin(a), -16.0 * std::cos(a)), 4.0, 4.0);
    }
}

TfrmPleaseWait::TfrmPleaseWait(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setFixedSize(306, 115);
    setCursor(Qt::WaitCursor);
    setWindowModality(Qt::ApplicationModal);
    connect(this, &QDialog::rejected, this, [this] {
        if (OnClose) OnClose();
    });
    auto* layout = new QHBoxLayout(this);
    animForm_ = new TSpinner(this);
    lblForm_ = new QLabel(this);
    lblForm_->setWordWrap(true);
    lblForm_->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    lblForm_->setFixedSize(225, 65);
    layout->addWidget(animForm_);
    layout->addWidget(lblForm_);
}

void TfrmPleaseWait::SetMessageText(const std::string& text) {
    text_ = text;
    lblForm_->setText(QText(LangText(326) + " " + "Quorvex" + " " + text));
}

QString TfrmPleaseWait::LabelText() const { return lblForm_->text(); }

void TfrmPleaseWait::ShowAndRefresh() {
    show();
    repaint();
}

void TfrmPleaseWait::showEvent(QShowEvent* event) {
    setWindowTitle("Quorvex");
    animForm_->Start();
    QDialog::showEvent(event);
}

void TfrmPleaseWait::hideEvent(QHideEvent* event) {
    animForm_->Stop();
    QDialog::hideEvent(event);
}

}  // namespace qv::ui
