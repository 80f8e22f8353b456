#include <gtest/gtest.h>
#include <libebook/libebook.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <mutex>

#include "foundation/qv3Language.h"
#include "frontend/online/forms/qv3AddressBookForm.h"
#include "frontend/online/forms/qv3OnlineForms.h"
#include "frontend/online/qv3Transfer.h"
#include "frontend/qv3QtText.h"
#include "platform/system/Clock.h"
#include "tests/frontend/QtApp.h"
#include "tests/online/OnlineFixture.h"
#include "tests/online/SessionBus.h"
#include "tests/support/UiBeat.h"

namespace qv::test {
namespace {

// Waits for events: generous, for a loaded machine under the sanitizers.
constexpr int kDeadlineMs = 180000;

struct TContact {
    const char* Name;
    std::vector<const char*> Emails;
};

// A local address book of its own beside the built-in one.
struct TBook {
    const char* Uid;  // null: the built-in book
    bool Enabled;
};

// Adds `contacts` to a local address book through libebook, as GNOME
// Contacts would; a book of its own is made first, and disabled after.
// Returns what failed, or "".
std::string AddContacts(const std::vector<TContact>& contacts, TBook book = {nullptr, true}) {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) return error->message;
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    ESourceRegistry* registry = e_source_registry_new_sync(nullptr, &error);
    if (!registry) return error->message;
    ESource* source = nullptr;
    if (!book.Uid) {
        source = e_source_registry_ref_builtin_address_book(registry);
    } else {
        source = e_source_new_with_uid(book.Uid, nullptr, &error);
        e_source_set_display_name(source, book.Uid);
        e_source_set_parent(source, "local-stub");
        auto* extension = e_source_get_extension(source, E_SOURCE_EXTENSION_ADDRESS_BOOK);
        e_source_backend_set_backend_name(static_cast<ESourceBackend*>(extension), "local");
        GList* list = g_list_append(nullptr, source);
        const bool made = e_source_registry_create_sources_sync(registry, list, nullptr, &error);
        g_list_free(list);
        g_object_unref(source);
        source = made ? e_source_registry_ref_source(registry, book.Uid) : nullptr;
        if (!source) return made ? "the new book is not listed" : error->message;
    }
    EClient* client = e_book_client_connect_sync(source, static_cast<guint32>(-1), nullptr, &error);
    std::string failed;
    if (!client) failed = error->message;
    for (const TContact& c : contacts) {
        if (!client) break;
        EContact* contact = e_contact_new();
        e_contact_set(contact, E_CONTACT_FULL_NAME, c.Name);
        GList* emails = nullptr;
        for (const char* e : c.Emails) emails = g_list_append(emails, const_cast<char*>(e));
        if (emails) e_contact_set(contact, E_CONTACT_EMAIL, emails);
        g_list_free(emails);
        if (!e_book_client_add_contact_sync(E_BOOK_CLIENT(client), contact, E_BOOK_OPERATION_FLAG_NONE, nullptr,
                                            nullptr, &error)) {
            failed = error->message;
        }
        g_object_unref(contact);
    }
    if (failed.empty() && !book.Enabled) {
        e_source_set_enabled(source, FALSE);
        if (!e_source_write_sync(source, nullptr, &error)) failed = error->message;
    }
    if (error) g_error_free(error);
    if (client) g_object_unref(client);
    g_object_unref(source);
    g_object_unref(registry);
    g_object_unref(bus);
    return failed;
}

std::vector<std::pair<QString, QString>> Rows(const TfrmAddressBook& picker, bool shownOnly = false) {
    std::vector<std::pair<QString, QString>> rows;
    for (int i = 0; i < picker.lvAddresses->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = picker.lvAddresses->topLevelItem(i);
        if (shownOnly && item->isHidden()) continue;
        rows.emplace_back(item->text(0), item->text(1));
    }
    return rows;
}

void Select(TfrmAddressBook& picker, const std::vector<std::string>& emails) {
    for (int i = 0; i < picker.lvAddresses->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = picker.lvAddresses->topLevelItem(i);
        for (const std::string& e : emails) {
            if (item->text(1) == QString::fromStdString(e)) item->setSelected(true);
        }
    }
}

// Presses "To..." on `card`; once the picker is done waiting `act` runs on
// it (and a picker it leaves open is cancelled).
void PickOnCard(TfrmEmailCard& card, const std::function<void(TfrmAddressBook&)>& act) {
    QTimer poll;
    poll.setInterval(20);
    bool acted = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* picker = card.findChild<TfrmAddressBook*>();
        if (acted || !picker || !picker->isVisible() || picker->Waiting()) return;
        acted = true;
        act(*picker);
        if (picker->isVisible()) picker->reject();
    });
    poll.start();
    card.sbtnTo->click();
    EXPECT_TRUE(acted);
}

// A reading that hangs as a D-Bus call may: it returns only once the test
// lets it, whatever the cancel says.
struct THungReading {
    std::mutex m;
    std::condition_variable cv;
    bool released = false;
    std::atomic<bool> sawCancel{false};
    void Release() {
        {
            std::lock_guard<std::mutex> lock(m);
            released = true;
        }
        cv.notify_all();
    }
};

TAddressBookReader HangingReader(const std::shared_ptr<THungReading>& hung) {
    return [hung](const TAddressBookCancel& cancel) {
        std::unique_lock<std::mutex> lock(hung->m);
        while (!hung->released) {
            hung->cv.wait_for(lock, std::chrono::milliseconds(10));
            if (cancel.Cancelled()) hung->sawCancel = true;
        }
        TAddressBookReading r;
        r.State = TAddressBookState::Found;
        r.Entries = {{"Late", "late@x.example"}};
        return r;
    };
}

TAddressBookReader Answer(TAddressBookReading reading) {
    return [reading](const TAddressBookCancel&) { return reading; };
}

int CountOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class AddressBookTest : public OnlineTest {
protected:
    static void SetUpTestSuite() { QtApp(); }
    void SetUp() override {
        OnlineTest::SetUp();
        UsePrivateUserFolders(dir_ / "user");
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
    void TearDown() override {
        sys::SetSystemClock(nullptr);
        // Every worker ends before the next test.
        EXPECT_TRUE(QTest::qWaitFor([] { return RunningTransfers() == 0; }, kDeadlineMs));
        OnlineTest::TearDown();
    }
    // Shows `picker` and waits until it has stopped waiting.
    static void ShowAndWait(TfrmAddressBook& picker) {
        picker.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !picker.Waiting(); }, kDeadlineMs));
    }
};

TEST_F(AddressBookTest, PicksFromThePrivateDesktopBookIntoTheCard) {
    TPrivateSessionBus bus(dir_ / "bus", true);
    ASSERT_TRUE(bus.Started()) << bus.Error();
    const std::string added = AddContacts({{"Bert Corr", {"b@y.example"}},
                                           {"Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m", {"z2@z.example", "z1@z.example"}},
                                           {"Nobody Mailless", {}},
                                           {"Anna Berg", {"a@x.example"}}});
    ASSERT_EQ(added, "");
    // A second book is read as well; a disabled one is not.
    ASSERT_EQ(AddContacts({{"Carl Dunn", {"c@w.example"}}}, {"work-book", true}), "");
    ASSERT_EQ(AddContacts({{"Dora Eck", {"d@off.example"}}}, {"old-book", false}), "");
    // A new session over the same folders: the services start anew for the
    // first picker and read what was stored.
    ASSERT_TRUE(bus.Stop());
    TPrivateSessionBus session(dir_ / "bus", true);
    ASSERT_TRUE(session.Started()) << session.Error();

    // The first picker of the session: the rows, while the UI answers.
    {
        TBeat beat;
        TfrmAddressBook picker;
        QElapsedTimer shown;
        shown.start();
        ShowAndWait(picker);
        std::cout << "Address book rows shown after " << shown.elapsed() << " ms\n";
        EXPECT_GT(beat.Ticks(), 0);
        EXPECT_LT(beat.Longest(), 10000);
        EXPECT_TRUE(picker.lblState->isHidden());
        const QString zoe = QString::fromUtf8("Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m");
        const std::vector<std::pair<QString, QString>> expected = {{"Anna Berg", "a@x.example"},
                                                                   {"Bert Corr", "b@y.example"},
                                                                   {"Carl Dunn", "c@w.example"},
                                                                   {zoe, "z1@z.example"},
                                                                   {zoe, "z2@z.example"}};
        EXPECT_EQ(Rows(picker), expected);
        EXPECT_EQ(picker.windowTitle(), LangQText(kTextAddressBookCaption));
        EXPECT_EQ(picker.lvAddresses->headerItem()->text(0), LangQText(kTextAddressBookName));
        picker.edtFilter->setText(QString::fromUtf8("\xC3\xA5NG"));  // "åNG": any case
        EXPECT_EQ(Rows(picker, true), std::vector(expected.begin() + 3, expected.end()));
        picker.lvAddresses->selectAll();
        EXPECT_EQ(picker.ChosenAddresses(), (std::vector<std::string>{"z1@z.example", "z2@z.example"}));
    }

    struct Case {
        const char* name;
        const char* before;
        std::vector<std::string> chosen;  // empty: Cancel
        const char* after;
    };
    const Case cases[] = {
        {"two into an empty field", "", {"b@y.example", "a@x.example"}, "a@x.example, b@y.example"},
        {"after a comma", "q@r.example,", {"a@x.example"}, "q@r.example,a@x.example"},
        {"after an address", "q@r.example", {"b@y.example"}, "q@r.example, b@y.example"},
        {"both of one contact", "", {"z1@z.example", "z2@z.example"}, "z1@z.example, z2@z.example"},
        {"cancelled", "q@r.example", {}, "q@r.example"},
    };
    TDesktopAddressBook book;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TfrmEmailCard card(&book);
        ASSERT_FALSE(card.sbtnTo->isHidden());
        card.edtAddresses->setText(c.before);
        PickOnCard(card, [&](TfrmAddressBook& picker) {
            EXPECT_EQ(Rows(picker).size(), 5u);
            if (c.chosen.empty()) {
                QTest::keyClick(&picker, Qt::Key_Escape);
                return;
            }
            EXPECT_FALSE(picker.btnOk->isEnabled());
            Select(picker, c.chosen);
            EXPECT_TRUE(picker.btnOk->isEnabled());
            picker.btnOk->click();
        });
        EXPECT_EQ(card.edtAddresses->text(), c.after);
    }
    EXPECT_TRUE(session.Stop()) << "a process of the private bus was left";
}

TEST_F(AddressBookTest, WithoutASessionBusToIsHiddenAndThePickerSaysSoAtOnce) {
    TDesktopAddressBook book;
    TfrmEmailCard card(&book);
    EXPECT_TRUE(card.sbtnTo->isHidden());
    EXPECT_EQ(CountOf(Log(), "Address book: no session bus"), 1);

    TBeat beat;
    TfrmAddressBook picker;
    ShowAndWait(picker);
    EXPECT_EQ(picker.lblState->text(), LangQText(kTextNoAddressBook));
    EXPECT_EQ(LangText(kTextNoAddressBook), "No address book was found");
    EXPECT_TRUE(picker.lvAddresses->topLevelItemCount() == 0);
    EXPECT_FALSE(picker.btnOk->isEnabled());
    EXPECT_EQ(CountOf(Log(), "Address book: none found (no session bus"), 1);
    // The answer may come before the timer's first turn: the loop still runs.
    EXPECT_TRUE(QTest::qWaitFor([&] { return beat.Ticks() > 0; }, kDeadlineMs));
}

TEST_F(AddressBookTest, ABusThatIsGoneOrLacksTheServiceIsSaidInThePicker) {
    struct Case {
        const char* name;
        bool daemon;
        const char* reason;
    };
    for (const Case c : {Case{"gone", false, "none found (session bus: "},
                         Case{"no address-book service", true, "none found (source registry: "}}) {
        SCOPED_TRACE(c.name);
        const std::string root = dir_ / (std::string(c.daemon ? "plain" : "gone") + "/");
        std::unique_ptr<TPrivateSessionBus> bus;
        if (c.daemon) {
            bus = std::make_unique<TPrivateSessionBus>(root, false);
            ASSERT_TRUE(bus->Started()) << bus->Error();
        } else {
            setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root + "nothing").c_str(), 1);
        }
        TDesktopAddressBook book;
        TfrmEmailCard card(&book);
        EXPECT_FALSE(card.sbtnTo->isHidden());  // a bus is named: it is asked
        card.edtAddresses->setText("q@r.example");
        TBeat beat;
        PickOnCard(card, [&](TfrmAddressBook& picker) {
            EXPECT_EQ(picker.lblState->text(), LangQText(kTextNoAddressBook));
            EXPECT_FALSE(picker.lblState->isHidden());
            EXPECT_FALSE(picker.btnOk->isEnabled());
            picker.btnCancel->click();
        });
        EXPECT_EQ(card.edtAddresses->text(), "q@r.example");
        EXPECT_TRUE(QTest::qWaitFor([&] { return beat.Ticks() > 0; }, kDeadlineMs));
        EXPECT_EQ(CountOf(Log(), std::string("Address book: ") + c.reason), 1) << Log();
        if (bus) {
            EXPECT_TRUE(bus->Stop());
        }
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }
}

TEST_F(AddressBookTest, GivesUpAtItsTimeOutAndLeavesAHangingReadingBehind) {
    sys::TManualClock clock(1000000);
    sys::SetSystemClock(&clock);
    auto hung = std::make_shared<THungReading>();
    {
        TBeat beat;
        TfrmAddressBook picker(HangingReader(hung));
        picker.show();
        EXPECT_EQ(picker.lblState->text(), LangQText(kTextAddressBookReading));
        EXPECT_TRUE(picker.Waiting());
        clock.AdvanceMilliseconds(kAddressBookTimeoutMs - 1);
        QTest::qWait(300);
        EXPECT_TRUE(picker.Waiting());
        EXPECT_FALSE(hung->sawCancel);
        clock.AdvanceMilliseconds(1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !picker.Waiting(); }, kDeadlineMs));
        EXPECT_EQ(picker.lblState->text(), LangQText(kTextNoAddressBook));
        EXPECT_TRUE(QTest::qWaitFor([&] { return hung->sawCancel.load(); }, kDeadlineMs));
        EXPECT_EQ(CountOf(Log(), "Address book: no answer within 60 s"), 1);
        EXPECT_GT(beat.Ticks(), 0);
        // Still open: Cancel closes it while the reading hangs on.
        picker.btnCancel->click();
        EXPECT_EQ(picker.result(), QDialog::Rejected);
        EXPECT_EQ(RunningTransfers(), 1);
    }
    // The reading ends after its picker has gone; nothing of it is shown.
    hung->Release();
    EXPECT_TRUE(QTest::qWaitFor([] { return RunningTransfers() == 0; }, kDeadlineMs));
    QTest::qWait(50);
    EXPECT_EQ(CountOf(Log(), "Address book:"), 1);
}

TEST_F(AddressBookTest, EscClosesThePickerWhileItWaits) {
    auto hung = std::make_shared<THungReading>();
    TfrmEmailCard card(nullptr);
    {
        TfrmAddressBook picker(HangingReader(hung), &card);
        QTimer::singleShot(50, &picker, [&] { QTest::keyClick(&picker, Qt::Key_Escape); });
        EXPECT_EQ(picker.exec(), QDialog::Rejected);
        EXPECT_TRUE(picker.ChosenAddresses().empty());
        EXPECT_TRUE(QTest::qWaitFor([&] { return hung->sawCancel.load(); }, kDeadlineMs));
    }
    hung->Release();
}

TEST_F(AddressBookTest, ShowsWhatTheReadingFound) {
    TAddressBookReading empty;
    empty.State = TAddressBookState::NoAddresses;
    {
        TfrmAddressBook picker(Answer(empty));
        ShowAndWait(picker);
        EXPECT_EQ(picker.lblState->text(), LangQText(kTextNoAddresses));
        EXPECT_EQ(LangText(kTextNoAddresses), "The address book has no e-mail addresses");
        EXPECT_FALSE(picker.btnOk->isEnabled());
    }
    TAddressBookReading found;
    found.State = TAddressBookState::Found;
    found.Entries = {{"carl", "c2@w.example"}, {"", "b@nameless.example"}, {"Carl", "c1@w.example"},
                     {"anna", "a@x.example"}};
    found.Reason = "Work: backend failed";
    TfrmAddressBook picker(Answer(found));
    ShowAndWait(picker);
    const std::vector<std::pair<QString, QString>> sorted = {{"anna", "a@x.example"},
                                                             {"", "b@nameless.example"},
                                                             {"Carl", "c1@w.example"},
                                                             {"carl", "c2@w.example"}};
    EXPECT_EQ(Rows(picker), sorted);
    EXPECT_EQ(CountOf(Log(), "Address book: read in part (Work: backend failed)"), 1);
    Select(picker, {"c1@w.example", "a@x.example"});
    picker.edtFilter->setText("CARL");
    EXPECT_EQ(picker.ChosenAddresses(), std::vector<std::string>{"c1@w.example"});
    picker.edtFilter->clear();
    EXPECT_EQ(picker.ChosenAddresses(), (std::vector<std::string>{"a@x.example", "c1@w.example"}));
    picker.edtFilter->setText("nobody");
    EXPECT_FALSE(picker.btnOk->isEnabled());
}

}  // namespace
}  // namespace qv::test
