#include "multiplayer/lobby/qv3LogIn.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "foundation/TextUtil.h"
#include "foundation/qv3Environment.h"
#include "foundation/qv3Language.h"
#include "frontend/qv3QtText.h"
#include "frontend/qv3SettingsFile.h"
#include "multiplayer/lobby/qv3DPConsts.h"

namespace qv {

namespace {


// Upper case, without any character of code 32 or less, or 128 or more.
QString FilterAlias(const QString& text) {
    QString out;
    for (const QChar c : text.trimmed()) {
        const char16_t u = c.unicode();
        if (u <= 32 || u >= 128) continue;
        out += (u >= 'a' && u <= 'z') ? QChar(u - 'a' + 'A') : c;
    }
    return out;
}

}  // namespace

TfrmLogIn::TfrmLogIn(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    lblAlias = new QLabel(this);
    lblName = new QLabel(this);
    lblName->setWordWrap(true);
    edtAlias = new QLineEdit(this);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setDefault(true);
    btnCancel = new QPushButton(this);

    auto* row = new QHBoxLayout;
    row->addWidget(lblAlias);
    row->addWidget(edtAlias, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(lblName);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(edtAlias, &QLineEdit::textChanged, this, [this] {
        edtAliasChange();
        actOkUpdate();
    });
    connect(Button1, &QPushButton::clicked, this, &TfrmLogIn::actOkExecute);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmLogIn::actCancelExecute);
    Start();
    actOkUpdate();
}

void TfrmLogIn::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    QTimer::singleShot(0, this, [this] { Start(); });
}

void TfrmLogIn::Start() {
    setWindowTitle(LangQText(378));
    lblAlias->setText(LangQText(380) + QStringLiteral(":"));
    lblName->setText(LangQText(379));
    btnCancel->setText(LangQText(75));
    if (!started_) {
        started_ = true;
        edtAlias->clear();
    }
    update();
}

void TfrmLogIn::edtAliasChange() {
    const QString text = edtAlias->text();
    const QString filtered = FilterAlias(text);
    if (filtered == text) return;
    const int cursor = edtAlias->cursorPosition();
    const int removed = static_cast<int>(text.size() - filtered.size());
    edtAlias->setText(filtered);
    edtAlias->setCursorPosition(std::max(0, std::min(static_cast<int>(filtered.size()), cursor - removed)));
}

bool TfrmLogIn::OkEnabled() const { return Button1->isEnabled(); }

void TfrmLogIn::actOkUpdate() {
    const auto n = edtAlias->text().trimmed().size();
    Button1->setEnabled(n >= 3 && n <= static_cast<qsizetype>(kLobbyAliasMax));
}

void TfrmLogIn::actOkExecute() {
    actOkUpdate();
    if (!Button1->isEnabled()) return;
    const std::string alias = UpperAscii(Cp1252(edtAlias->text().trimmed()));
    Environment.LobbyAlias = std::string_view(alias).substr(0, kLobbyAliasMax);
    Environment.LobbyLoginKey = NewLoginKey();
    SaveSettings();
    accept();
}

void TfrmLogIn::actCancelExecute() { reject(); }

bool RunLogInDialog(QWidget* owner) {
    TfrmLogIn dialog(owner);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace qv
