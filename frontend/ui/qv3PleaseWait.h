// The please-wait box: a small tool window with a one-line message and a
// spinner, shown by callers while they wait for a download. It keeps the
// rest of the program from input while it is up; closing it (Esc or the
// title bar's close button) tells OnClose, which aborts the wait.
#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>

#include <functional>
#include <string>

class QLabel;

namespace qv::ui {

class TSpinner : public QWidget {
    Q_OBJECT
public:
    explicit TSpinner(QWidget* parent = nullptr);
    // Starts with the program's spinner frames (SpinnerFrames), when there
    // are any. Frames of 48 x 48 side by side; without them dots are painted.
    void SetFrames(const QImage& strip);
    bool HasFrames() const { return !strip_.isNull(); }
    void Start() { timer_.start(); }
    void Stop() { timer_.stop(); }
    bool Running() const { return timer_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer timer_;
    int frame_ = 0;
    QImage strip_;
};

class TfrmPleaseWait : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPleaseWait(QWidget* owner = nullptr);
    // Caption: language line 326 + " Quorvex " + text.
    void SetMessageText(const std::string& text);
    const std::string& MessageText() const { return text_; }
    QString LabelText() const;
    // Shows the box (application-modal) and paints it now.
    void ShowAndRefresh();
    // Called when the player closes the box.
    std::function<void()> OnClose;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::string text_;
    QLabel* lblForm_;
    TSpinner* animForm_;
};

}  // namespace qv::ui
