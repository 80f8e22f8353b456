// The desktop's address book: GNOME's (shared by GNOME Contacts and
// Evolution), the Evolution Data Server, read through libebook. Its source
// registry and its books are D-Bus services of the session bus that may
// start slowly or not at all, so a reading runs on a worker thread; the
// card's picker (frontend/online/forms/qv3AddressBookForm.h) shows it.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qv {

// One e-mail address of a contact, UTF-8 as the address book keeps it.
struct TAddressEntry {
    std::string Name;
    std::string Email;
    bool operator==(const TAddressEntry&) const = default;
};

enum class TAddressBookState { Found, NoBook, NoAddresses };

struct TAddressBookReading {
    TAddressBookState State = TAddressBookState::NoBook;
    std::vector<TAddressEntry> Entries;
    // Why there is nothing (for the log); what failed on the way otherwise.
    std::string Reason;
};

// Stops a reading from any thread: the D-Bus calls in flight return at once.
class TAddressBookCancel {
public:
    TAddressBookCancel();
    ~TAddressBookCancel();
    TAddressBookCancel(const TAddressBookCancel&) = delete;
    TAddressBookCancel& operator=(const TAddressBookCancel&) = delete;
    void Cancel();
    bool Cancelled() const;
    // The GCancellable.
    void* Native() const { return cancellable_; }

private:
    void* cancellable_;
};

// The session bus's address as libebook would find it: DBUS_SESSION_BUS_ADDRESS,
// else the socket $XDG_RUNTIME_DIR/bus; empty when there is neither. Nothing
// is connected to.
std::string SessionBusAddress();

// Reads every enabled address book of the user's source registry: one entry
// per e-mail address of a contact (a contact without one gives none), the
// contact's full name with it, else its "file as" name, else its nickname.
// Blocks on D-Bus: call it off the UI thread. NoBook when there is no
// session bus, no registry service or no book that opens; NoAddresses when
// the books hold no address.
TAddressBookReading ReadDesktopAddressBook(const TAddressBookCancel& cancel);

}  // namespace qv
