// The card's recipient picker over the desktop's address book: shown at
// once with a busy line while a worker reads the book, the addresses sorted
// by name with a filter field, several rows selectable. The reading gives up
// after kAddressBookTimeoutMs; Cancel or Esc close the picker at any moment,
// and a reading still hanging in D-Bus is left to end on its own.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontend/online/qv3AddressBook.h"
#include "frontend/online/qv3ReportFlows.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace qv {

// Language texts of the picker.
inline constexpr int kTextAddressBookCaption = 428;
inline constexpr int kTextAddressBookName = 429;
inline constexpr int kTextAddressBookEmail = 430;
inline constexpr int kTextAddressBookOk = 431;
inline constexpr int kTextAddressBookCancel = 432;
inline constexpr int kTextAddressBookReading = 433;
inline constexpr int kTextNoAddressBook = 434;
inline constexpr int kTextNoAddresses = 435;
inline constexpr int kTextAddressBookFilter = 436;

// How long the picker waits for the book. The registry and the book
// factory are started by the bus on the first call of a session, each
// after the other, and the factory starts a backend process for each book:
// on a loaded machine that takes many seconds, and D-Bus itself gives a
// single call 25 s. A minute covers two such slow steps; the player may
// cancel earlier.
inline constexpr std::uint32_t kAddressBookTimeoutMs = 60000;

// Runs on a worker thread; ReadDesktopAddressBook in the program.
using TAddressBookReader = std::function<TAddressBookReading(const TAddressBookCancel& cancel)>;

class TfrmAddressBook : public QDialog {
public:
    explicit TfrmAddressBook(TAddressBookReader reader = ReadDesktopAddressBook, QWidget* parent = nullptr);
    ~TfrmAddressBook() override;
    // The addresses of the chosen rows that the filter shows, top to bottom.
    std::vector<std::string> ChosenAddresses() const;
    // Whether the reading is still awaited.
    bool Waiting() const { return waiting_; }
    void done(int result) override;

    QLabel* lblState;
    QLineEdit* edtFilter;
    QTreeWidget* lvAddresses;
    QPushButton *btnOk, *btnCancel;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Start();
    void Arrived(const TAddressBookReading& reading);
    void CheckTimeOut();
    void Finish(int text, const std::string& logLine);
    void ApplyFilter();
    void UpdateOk();

    TAddressBookReader reader_;
    std::shared_ptr<TAddressBookCancel> cancel_;
    QTimer* watch_;
    std::uint32_t startMs_ = 0;
    bool started_ = false;
    bool waiting_ = false;
};

// The address book of the desktop for the card form: there when a session
// bus is; PickRecipients runs the picker over `owner`.
class TDesktopAddressBook final : public IAddressBook {
public:
    bool Available() const override;
    std::vector<std::string> PickRecipients(QWidget* owner) override;
};

}  // namespace qv
