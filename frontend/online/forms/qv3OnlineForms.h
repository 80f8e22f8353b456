// The forms of the online services (Qt Widgets): publishing a high score,
// the new-best question, the error report, the e-mail card and the
// world's-best download. Each collects what the player types and hands it
// to the headless flows; texts cross to Qt as Windows-1252 bytes.
#pragma once

#include <QDialog>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "frontend/online/qv3PublishFlow.h"
#include "frontend/online/qv3ReportFlows.h"
#include "frontend/online/qv3WorldBest.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QToolButton;

namespace qv {

// Message boxes, questions and the clipboard of the online services as Qt
// dialogs owned by `parent`. The please-wait box is the main window's to set.
void InstallQtOnlineUi(QWidget* parent);

// A named picture of the program's resources (PNG or JPEG bytes); the main
// window sets it. Empty, or no such picture: the form shows none.
std::function<std::string(const std::string& name)>& OnlinePictureSource();

class TfrmHighscorePublish : public QDialog {
public:
    TfrmHighscorePublish(int slot, QWidget* parent = nullptr);
    // The fields as typed.
    TPublishFields Fields() const;
    void btnPublishClick();

    QLabel* Label2;
    QPushButton *btnPublish, *Button1;
    QLineEdit *edtAlias, *Edit2, *Edit3, *Edit4, *Edit5;
    QComboBox* cbCountries;
    QSpinBox* edtAge;
    QRadioButton *rbtnMale, *rbtnFemale;
    QCheckBox* ckbNewGame;

private:
    void FormShow();
    int slot_;
};

class TfrmHighscoreNew : public QDialog {
public:
    TfrmHighscoreNew(int score, QWidget* parent = nullptr);
    QLabel *imgWindow, *lblCongrat, *lblPoints, *lblHighscore, *lblUpload;
    QPushButton *btnYes, *btnNo;
};
// QDialog result codes of the new-best question.
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

class TfrmErrorReportPublish : public QDialog {
public:
    TfrmErrorReportPublish(int slot, QWidget* parent = nullptr);
    // Set by the caller before showing: the log's text.
    std::string LogText;
    void btnSendClick();
    void done(int result) override;

    QLabel *lblDescription, *lblLogFile, *lblEmail;
    QPlainTextEdit *Memo1, *memLogFile;
    QLineEdit* edtEmail;
    QPushButton* btnSend;

protected:
    void showEvent(QShowEvent* event) override;

private:
    int slot_;
    bool sending_ = false;
};

class TfrmEmailCard : public QDialog {
public:
    // `book` null: the system has no address book and "To..." is hidden.
    explicit TfrmEmailCard(IAddressBook* book = nullptr, QWidget* parent = nullptr);
    void actToExecute();
    void actSendExecute();

    QToolButton* sbtnTo;
    QLineEdit *edtAddresses, *edtSender, *edtSenderEmail;
    QPlainTextEdit* memComments;
    QPushButton *btnSend, *btnCancel;

private:
    void actSendUpdate();
    IAddressBook* book_;
};

class TfrmDownloadWorldBest : public QDialog {
public:
    TfrmDownloadWorldBest(int slot, QWidget* parent = nullptr);
    // Shows the form modally: 0 when the player chose Replay, else -1.
    int Execute();
    // The download, as it runs once the form is visible.
    void RunDownload();
    // Called when the download has ended (for tests and the caller).
    std::function<void()> OnFinished;

    const TWorldBestDownload& Download() const { return download_; }
    int ReplayChoice = -1;
    QPushButton *btnReplay, *btnCancel;
    QComboBox* cbxLevel;
    QWidget *pbx1, *pbx2;

protected:
    void showEvent(QShowEvent* event) override;

private:
    TWorldBestDownload download_;
    bool started_ = false;
};

}  // namespace qv
