#include "frontend/online/forms/qv3OnlineForms.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

#include "foundation/TextUtil.h"
#include "foundation/qv3Environment.h"
#include "foundation/qv3Language.h"
#include "frontend/online/qv3OnlineUi.h"
#include "frontend/online/qv3Transfer.h"
#include "frontend/qv3QtText.h"
#include "frontend/ui/qv3Messages.h"

namespace qv {

namespace {

QPixmap Picture(const std::string& name) {
    QPixmap pixmap;
    if (OnlinePictureSource()) {
        const std::string bytes = OnlinePictureSource()(name);
        if (!bytes.empty()) {
            pixmap.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<uint>(bytes.size()));
        }
    }
    return pixmap;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, QRect where, bool wrap = false) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(where);
    l->setWordWrap(wrap);
    return l;
}

QLineEdit* MakeEdit(QWidget* parent, QRect where, int maxLength) {
    auto* e = new QLineEdit(parent);
    e->setGeometry(where);
    if (maxLength > 0) e->setMaxLength(maxLength);
    return e;
}

// Fixed size, no help button, the title bar's close button only.
void SetUpDialog(QDialog* d, const QString& caption, int width, int height) {
    d->setWindowTitle(caption);
    d->setFixedSize(width, height);
    d->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

// The paint box of one step: picture state - 1 at (0, 1) once the state is above 0.
class TStateBox final : public QWidget {
public:
    TStateBox(QWidget* parent, std::function<int()> state) : QWidget(parent), state_(std::move(state)) {
        for (int i = 0; i < 3; ++i) pictures_[i] = Picture("wbstate" + std::to_string(i + 1) + ".png");
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const int s = state_();
        if (s < 1 || s > 3 || pictures_[s - 1].isNull()) return;
        QPainter p(this);
        p.drawPixmap(0, 1, pictures_[s - 1]);
    }

private:
    std::function<int()> state_;
    QPixmap pictures_[3];
};

}  // namespace

std::function<std::string(const std::string& name)>& OnlinePictureSource() {
    static std::function<std::string(const std::string&)> source;
    return source;
}

void InstallQtOnlineUi(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    OnlineUi().ShowMessage = [owner](TMessageKind kind, const std::string& text) {
        ui::TBoxKind box = ui::TBoxKind::Plain;
        switch (kind) {
        case TMessageKind::Information:
            box = ui::TBoxKind::Information;
            break;
        case TMessageKind::Warning:
            box = ui::TBoxKind::Warning;
            break;
        case TMessageKind::Error:
            box = ui::TBoxKind::Error;
            break;
        case TMessageKind::Plain:
            break;
        }
        ui::ShowMessageBox(owner, box, QText(text));
    };
    OnlineUi().Confirm = [owner](const std::string& text) {
        return ui::ShowMessageBox(owner, ui::TBoxKind::Question, QText(text));
    };
    OnlineUi().SetClipboardText = [](const std::string& text) {
        QApplication::clipboard()->setText(QText(text));
    };
}

// ---------------------------------------------------------------------------

TfrmHighscorePublish::TfrmHighscorePublish(int slot, QWidget* parent) : QDialog(parent), slot_(slot) {
    SetUpDialog(this, "Publish Highscore", 417, 466);
    // The form colour 2165139 is a BGR value: red 147, green 9, blue 33.
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(147, 9, 33));
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);

    Label2 = MakeLabel(this, "", {16, 12, 385, 28});
    QFont big = Label2->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    Label2->setFont(big);
    Label2->setAlignment(Qt::AlignCenter);

    auto* g1 = new QGroupBox("Additional data which will appear in the web highscore: ", this);
    g1->setGeometry(8, 48, 401, 250);
    MakeLabel(g1, "Alias:", {12, 28, 90, 22});
    edtAlias = MakeEdit(g1, {110, 26, 275, 24}, 20);
    MakeLabel(g1, "City:", {12, 60, 90, 22});
    Edit2 = MakeEdit(g1, {110, 58, 275, 24}, 20);
    MakeLabel(g1, "State:", {12, 92, 90, 22});
    Edit3 = MakeEdit(g1, {110, 90, 275, 24}, 20);
    MakeLabel(g1, "Country:", {12, 124, 90, 22});
    cbCountries = new QComboBox(g1);
    cbCountries->setGeometry(110, 122, 275, 24);
    MakeLabel(g1, "Age:", {12, 156, 90, 22});
    edtAge = new QSpinBox(g1);
    edtAge->setGeometry(110, 154, 70, 24);
    edtAge->setRange(0, 150);
    rbtnMale = new QRadioButton("Male", g1);
    rbtnMale->setGeometry(200, 154, 80, 24);
    rbtnFemale = new QRadioButton("Female", g1);
    rbtnFemale->setGeometry(290, 154, 90, 24);
    MakeLabel(g1, "Comment:", {12, 190, 90, 22});
    Edit5 = MakeEdit(g1, {110, 188, 275, 24}, 80);

    auto* g2 = new QGroupBox("Additional data which will not appear at the highscore table:", this);
    g2->setGeometry(8, 306, 401, 100);
    MakeLabel(g2, "Email:", {12, 28, 90, 22});
    Edit4 = MakeEdit(g2, {110, 26, 275, 24}, 40);
    ckbNewGame = new QCheckBox("Send me a short email when a new game is available", g2);
    ckbNewGame->setGeometry(12, 60, 380, 24);

    btnPublish = new QPushButton("Publish", this);
    btnPublish->setGeometry(212, 420, 95, 30);
    btnPublish->setDefault(true);
    Button1 = new QPushButton("Cancel", this);
    Button1->setGeometry(314, 420, 95, 30);
    connect(btnPublish, &QPushButton::clicked, this, [this] { btnPublishClick(); });
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [] { AbortForegroundTransfers(); });

    // FormCreate: the countries in text order; a missing text ends the list.
    for (const std::string& name : CountryTexts()) cbCountries->addItem(QText(name));
    cbCountries->setCurrentIndex(Environment.Country >= 1 ? Environment.Country - 1 : -1);
    FormShow();
}

void TfrmHighscorePublish::FormShow() {
    const bool slotOk = slot_ >= 0 && slot_ < static_cast<int>(kScenarioSlotCount);
    Label2->setText(slotOk ? QString::number(Environment.Scenarios[slot_].HighScores[0].Score) : QString());
    edtAlias->setText(QText(Environment.PlayerAlias.Str()));
    Edit2->setText(QText(Environment.City.Str()));
    Edit3->setText(QText(Environment.State.Str()));
    Edit4->setText(QText(Environment.Email.Str()));
    edtAge->setValue(Environment.Age);
    rbtnMale->setChecked(Environment.Gender == 1);
    rbtnFemale->setChecked(Environment.Gender == 2);
    Edit5->clear();  // the stored comment is not shown again
}

TPublishFields TfrmHighscorePublish::Fields() const {
    TPublishFields f;
    f.Alias = Cp1252(edtAlias->text());
    f.City = Cp1252(Edit2->text());
    f.State = Cp1252(Edit3->text());
    f.Email = Cp1252(Edit4->text());
    f.Comment = Cp1252(Edit5->text());
    f.Age = edtAge->value();
    f.Gender = rbtnFemale->isChecked() ? 2 : rbtnMale->isChecked() ? 1 : 0;
    f.CountryIndex = cbCountries->currentIndex();
    f.NewGameMail = ckbNewGame->isChecked();
    return f;
}

void TfrmHighscorePublish::btnPublishClick() {
    switch (PublishHighscore(Fields(), slot_)) {
    case TPublishResult::Published:
        accept();
        break;
    case TPublishResult::NeedAlias:
        edtAlias->setFocus();
        break;
    case TPublishResult::Failed:
        break;
    }
}

// ---------------------------------------------------------------------------

TfrmHighscoreNew::TfrmHighscoreNew(int score, QWidget* parent) : QDialog(parent) {
    SetUpDialog(this, LangQText(69), 400, 302);
    imgWindow = new QLabel(this);
    imgWindow->setGeometry(0, 0, 400, 130);
    imgWindow->setScaledContents(true);
    imgWindow->setPixmap(Picture("newbest.jpg"));
    auto centred = [this](const QString& text, int top, int height) {
        QLabel* l = MakeLabel(this, text, {10, top, 380, height}, true);
        l->setAlignment(Qt::AlignCenter);
        return l;
    };
    lblCongrat = centred(LangQText(70), 136, 24);
    QFont f = lblCongrat->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 4);
    lblCongrat->setFont(f);
    lblPoints = centred(QString::number(score) + " " + LangQText(71) + ",", 162, 22);
    lblHighscore = centred(LangQText(72), 184, 22);
    lblUpload = centred(LangQText(73), 208, 40);
    btnYes = new QPushButton(LangQText(76), this);
    btnYes->setGeometry(100, 258, 90, 30);
    btnYes->setDefault(true);
    btnNo = new QPushButton(LangQText(74), this);
    btnNo->setGeometry(210, 258, 90, 30);
    connect(btnYes, &QPushButton::clicked, this, [this] { done(mrYes); });
    connect(btnNo, &QPushButton::clicked, this, [this] { done(mrNo); });
}

// ---------------------------------------------------------------------------

TfrmErrorReportPublish::TfrmErrorReportPublish(int slot, QWidget* parent) : QDialog(parent), slot_(slot) {
    SetUpDialog(this, LangQText(53), 429, 393);
    lblDescription = MakeLabel(this, LangQText(54), {8, 6, 413, 32}, true);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(8, 40, 413, 110);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    lblLogFile = MakeLabel(this, LangQText(55), {8, 156, 413, 32}, true);
    memLogFile = new QPlainTextEdit(this);
    memLogFile->setGeometry(8, 190, 413, 110);
    memLogFile->setReadOnly(true);
    memLogFile->setLineWrapMode(QPlainTextEdit::NoWrap);
    lblEmail = MakeLabel(this, LangQText(56), {8, 306, 413, 32}, true);
    edtEmail = MakeEdit(this, {8, 340, 300, 24}, 0);
    btnSend = new QPushButton(LangQText(57), this);
    btnSend->setGeometry(316, 338, 105, 30);
    connect(btnSend, &QPushButton::clicked, this, [this] { btnSendClick(); });
    // Closing the form while the mail goes out stops it.
    connect(this, &QDialog::rejected, this, [] { AbortForegroundTransfers(); });
    Memo1->setFocus();
}

void TfrmErrorReportPublish::showEvent(QShowEvent* event) {
    memLogFile->setPlainText(QText(LogText));
    edtEmail->setText(QText(Environment.ErrorReportEmail.Str()));
    QDialog::showEvent(event);
}

void TfrmErrorReportPublish::btnSendClick() {
    if (sending_) return;
    // A mistyped address is mended here; the form keeps what was typed.
    if (!CheckErrorReportSender(Cp1252(edtEmail->text()))) {
        edtEmail->setFocus();
        return;
    }
    sending_ = true;
    btnSend->setEnabled(false);
    const TReportResult result = SendErrorReport(Cp1252(edtEmail->text()), Cp1252(Memo1->toPlainText()),
                                                 Cp1252(memLogFile->toPlainText()), slot_);
    sending_ = false;
    btnSend->setEnabled(true);
    // Stopped from the please-wait box: the form stays open with its text.
    // Closed meanwhile: it stays closed as the player left it.
    if (result != TReportResult::Cancelled && isVisible()) accept();
}

void TfrmErrorReportPublish::done(int result) {
    StoreErrorReportEmail(Cp1252(edtEmail->text()));
    QDialog::done(result);
}

// ---------------------------------------------------------------------------

TfrmEmailCard::TfrmEmailCard(IAddressBook* book, QWidget* parent) : QDialog(parent), book_(book) {
    SetUpDialog(this, LangQText(25), 356, 315);
    auto* recipients = new QGroupBox(LangQText(28), this);
    recipients->setGeometry(8, 4, 340, 56);
    sbtnTo = new QToolButton(recipients);
    sbtnTo->setText(LangQText(29));
    sbtnTo->setGeometry(8, 22, 60, 24);
    edtAddresses = MakeEdit(recipients, {74, 22, 258, 24}, 0);
    if (!book_ || !book_->Available()) {
        // No address book on this system: the addresses are typed.
        sbtnTo->hide();
        edtAddresses->setGeometry(8, 22, 324, 24);
    }
    auto* comment = new QGroupBox(LangQText(30), this);
    comment->setGeometry(8, 64, 340, 120);
    memComments = new QPlainTextEdit(comment);
    memComments->setGeometry(8, 22, 324, 90);
    auto* sender = new QGroupBox(LangQText(26), this);
    sender->setGeometry(8, 188, 340, 80);
    MakeLabel(sender, LangQText(27), {8, 22, 60, 22});
    edtSender = MakeEdit(sender, {74, 20, 258, 24}, 0);
    MakeLabel(sender, "Email:", {8, 50, 60, 22});
    edtSenderEmail = MakeEdit(sender, {74, 48, 258, 24}, 0);
    btnSend = new QPushButton(LangQText(34), this);
    btnSend->setGeometry(152, 276, 95, 30);
    btnCancel = new QPushButton(LangQText(75), this);
    btnCancel->setGeometry(253, 276, 95, 30);
    connect(sbtnTo, &QToolButton::clicked, this, [this] { actToExecute(); });
    connect(btnSend, &QPushButton::clicked, this, [this] { actSendExecute(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);  // Esc rejects as well
    connect(this, &QDialog::rejected, this, [] { AbortForegroundTransfers(); });
    connect(edtAddresses, &QLineEdit::textChanged, this, [this] { actSendUpdate(); });
    edtSender->setText(QText(Environment.PlayerAlias.Str()));
    edtSenderEmail->setText(QText(Environment.Email.Str()));
    actSendUpdate();
}

void TfrmEmailCard::actSendUpdate() { btnSend->setEnabled(!edtAddresses->text().trimmed().isEmpty()); }

void TfrmEmailCard::actToExecute() {
    if (!book_) return;
    // The book's addresses are UTF-8; so is the field's text here.
    std::string list = edtAddresses->text().toStdString();
    for (const std::string& address : book_->PickRecipients(this)) list = AppendRecipient(list, address);
    edtAddresses->setText(QString::fromStdString(list));
}

void TfrmEmailCard::actSendExecute() {
    if (!btnSend->isEnabled()) return;
    // The memo gives LF line breaks; the card record makes them CR LF.
    const TCardResult r = SendEmailCard(Cp1252(edtAddresses->text()), Cp1252(memComments->toPlainText()),
                                        Cp1252(edtSender->text()), Cp1252(edtSenderEmail->text()));
    if (r == TCardResult::Sent) accept();
}

// ---------------------------------------------------------------------------

TfrmDownloadWorldBest::TfrmDownloadWorldBest(int slot, QWidget* parent) : QDialog(parent), download_(slot) {
    SetUpDialog(this, "World's Best Game Replay", 225, 137);
    pbx1 = new TStateBox(this, [this] { return download_.CheckState(); });
    pbx1->setGeometry(10, 14, 18, 18);
    MakeLabel(this, "Checking server for new file", {34, 14, 185, 20});
    pbx2 = new TStateBox(this, [this] { return download_.DownloadState(); });
    pbx2->setGeometry(10, 44, 18, 18);
    MakeLabel(this, "Downloading file", {34, 44, 185, 20});
    cbxLevel = new QComboBox(this);
    cbxLevel->addItems({"All Levels", "Level 1", "Level 2", "Level 3", "Level 4", "Level 5"});
    cbxLevel->setGeometry(10, 70, 120, 22);
    cbxLevel->hide();
    btnReplay = new QPushButton("&Replay", this);
    btnReplay->setGeometry(20, 98, 90, 30);
    btnReplay->setEnabled(false);
    btnCancel = new QPushButton("&Cancel", this);
    btnCancel->setGeometry(116, 98, 90, 30);
    connect(btnReplay, &QPushButton::clicked, this, [this] {
        ReplayChoice = 0;
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, [this] {
        ReplayChoice = -1;
        reject();
    });
    // Cancel, Esc or the close button stop a download in progress; the
    // form keeps painting while it runs.
    connect(this, &QDialog::rejected, this, [] { AbortForegroundTransfers(); });
    download_.OnStateChanged = [this] {
        pbx1->update();
        pbx2->update();
        btnReplay->setEnabled(download_.ReplayEnabled());
    };
}

int TfrmDownloadWorldBest::Execute() {
    ReplayChoice = -1;
    exec();
    return ReplayChoice;
}

void TfrmDownloadWorldBest::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    // The download starts once the window is up.
    QTimer::singleShot(0, this, [this] { RunDownload(); });
}

void TfrmDownloadWorldBest::RunDownload() {
    download_.Run();
    btnReplay->setEnabled(download_.ReplayEnabled());
    pbx1->update();
    pbx2->update();
    if (OnFinished) OnFinished();
}

}  // namespace qv
