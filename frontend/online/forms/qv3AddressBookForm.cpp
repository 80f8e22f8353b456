#include "frontend/online/forms/qv3AddressBookForm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "foundation/qv3Log.h"
#include "frontend/online/qv3Transfer.h"
#include "frontend/qv3QtText.h"
#include "platform/system/Clock.h"

namespace qv {

namespace {

// How often the picker looks at the clock while it waits.
constexpr int kWatchIntervalMs = 100;

std::uint32_t NowMs() { return sys::SystemClock().GetTickCount(); }

QString SortKey(const TAddressEntry& e) { return QString::fromStdString(e.Name.empty() ? e.Email : e.Name); }

}  // namespace

TfrmAddressBook::TfrmAddressBook(TAddressBookReader reader, QWidget* parent)
    : QDialog(parent), reader_(std::move(reader)), cancel_(std::make_shared<TAddressBookCancel>()) {
    setWindowTitle(LangQText(kTextAddressBookCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(440, 320);
    auto* layout = new QVBoxLayout(this);
    edtFilter = new QLineEdit(this);
    edtFilter->setPlaceholderText(LangQText(kTextAddressBookFilter));
    edtFilter->setClearButtonEnabled(true);
    layout->addWidget(edtFilter);
    lvAddresses = new QTreeWidget(this);
    lvAddresses->setColumnCount(2);
    lvAddresses->setHeaderLabels({LangQText(kTextAddressBookName), LangQText(kTextAddressBookEmail)});
    lvAddresses->setRootIsDecorated(false);
    lvAddresses->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvAddresses->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lvAddresses->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    layout->addWidget(lvAddresses, 1);
    lblState = new QLabel(LangQText(kTextAddressBookReading), this);
    lblState->setWordWrap(true);
    layout->addWidget(lblState);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOk = new QPushButton(LangQText(kTextAddressBookOk), this);
    btnCancel = new QPushButton(LangQText(kTextAddressBookCancel), this);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    btnOk->setDefault(true);
    btnOk->setEnabled(false);
    watch_ = new QTimer(this);
    watch_->setInterval(kWatchIntervalMs);
    connect(watch_, &QTimer::timeout, this, [this] { CheckTimeOut(); });
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);  // Esc rejects as well
    connect(edtFilter, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
    connect(lvAddresses, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateOk(); });
}

TfrmAddressBook::~TfrmAddressBook() { cancel_->Cancel(); }

void TfrmAddressBook::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) Start();
}

void TfrmAddressBook::Start() {
    started_ = true;
    waiting_ = true;
    startMs_ = NowMs();
    watch_->start();
    // The worker shares only the cancel and the reading with the picker; a
    // worker that never returns keeps them alive and nothing else.
    auto reading = std::make_shared<TAddressBookReading>();
    reading->Reason = "the reading was stopped";
    StartTransfer(
        [reader = reader_, cancel = cancel_, reading] {
            *reading = reader(*cancel);
            return std::string();
        },
        [this, reading](const TTransferOutcome&) { Arrived(*reading); }, this);
}

void TfrmAddressBook::done(int result) {
    cancel_->Cancel();
    watch_->stop();
    waiting_ = false;
    QDialog::done(result);
}

void TfrmAddressBook::CheckTimeOut() {
    if (!waiting_) return;
    if (NowMs() - startMs_ < kAddressBookTimeoutMs) return;
    cancel_->Cancel();
    Finish(kTextNoAddressBook, "Address book: no answer within " + std::to_string(kAddressBookTimeoutMs / 1000) +
                                   " s; the recipients are typed");
}

void TfrmAddressBook::Finish(int text, const std::string& logLine) {
    waiting_ = false;
    watch_->stop();
    if (text > 0) lblState->setText(LangQText(text));
    lblState->setVisible(text > 0);
    if (!logLine.empty()) LogMessage(logLine, lkWarning);
}

void TfrmAddressBook::Arrived(const TAddressBookReading& reading) {
    if (!waiting_) return;  // given up, or closed
    if (reading.State == TAddressBookState::NoBook) {
        Finish(kTextNoAddressBook, "Address book: none found (" + reading.Reason + ")");
        return;
    }
    if (reading.State == TAddressBookState::NoAddresses) {
        Finish(kTextNoAddresses, "Address book: no e-mail addresses" +
                                     (reading.Reason.empty() ? std::string() : " (" + reading.Reason + ")"));
        return;
    }
    std::vector<TAddressEntry> entries = reading.Entries;
    std::stable_sort(entries.begin(), entries.end(), [](const TAddressEntry& a, const TAddressEntry& b) {
        const QString ka = SortKey(a), kb = SortKey(b);
        // Case matters only between names alike otherwise, whatever the locale.
        int byName = QString::localeAwareCompare(ka.toCaseFolded(), kb.toCaseFolded());
        if (byName == 0) byName = QString::localeAwareCompare(ka, kb);
        if (byName != 0) return byName < 0;
        return a.Email < b.Email;
    });
    for (const TAddressEntry& e : entries) {
        auto* item = new QTreeWidgetItem(lvAddresses);
        item->setText(0, QString::fromStdString(e.Name));
        item->setText(1, QString::fromStdString(e.Email));
    }
    // The rows replace the busy line; a book that failed beside others is logged.
    Finish(0, reading.Reason.empty() ? std::string() : "Address book: read in part (" + reading.Reason + ")");
    ApplyFilter();
}

void TfrmAddressBook::ApplyFilter() {
    const QString filter = edtFilter->text().trimmed();
    for (int i = 0; i < lvAddresses->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lvAddresses->topLevelItem(i);
        const bool shown = filter.isEmpty() || item->text(0).contains(filter, Qt::CaseInsensitive) ||
                           item->text(1).contains(filter, Qt::CaseInsensitive);
        item->setHidden(!shown);
    }
    UpdateOk();
}

void TfrmAddressBook::UpdateOk() { btnOk->setEnabled(!ChosenAddresses().empty()); }

std::vector<std::string> TfrmAddressBook::ChosenAddresses() const {
    std::vector<std::string> chosen;
    for (int i = 0; i < lvAddresses->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = lvAddresses->topLevelItem(i);
        if (item->isSelected() && !item->isHidden()) chosen.push_back(item->text(1).toStdString());
    }
    return chosen;
}

bool TDesktopAddressBook::Available() const {
    if (!SessionBusAddress().empty()) return true;
    LogMessage("Address book: no session bus (DBUS_SESSION_BUS_ADDRESS is not set and there is no "
               "$XDG_RUNTIME_DIR/bus); the recipients are typed");
    return false;
}

std::vector<std::string> TDesktopAddressBook::PickRecipients(QWidget* owner) {
    TfrmAddressBook picker(ReadDesktopAddressBook, owner);
    if (picker.exec() != QDialog::Accepted) return {};
    return picker.ChosenAddresses();
}

}  // namespace qv
