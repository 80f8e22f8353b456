#include "frontend/online/qv3AddressBook.h"

#include <libebook/libebook.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "foundation/TextUtil.h"

namespace qv {

namespace {

// The source registry's bus name (evolution-data-server 3.x).
constexpr const char* kRegistryService = "org.gnome.evolution.dataserver.Sources5";

struct TUnref {
    void operator()(gpointer object) const {
        if (object) g_object_unref(object);
    }
};
template <class T>
using TRef = std::unique_ptr<T, TUnref>;

struct TErrorFree {
    void operator()(GError* e) const {
        if (e) g_error_free(e);
    }
};
using TError = std::unique_ptr<GError, TErrorFree>;

std::string MessageOf(const GError* e) { return e && e->message ? e->message : "unknown failure"; }

// libebook's sync calls hand their callbacks to the calling thread's
// context; the worker gets one of its own for the reading, so nothing of
// it lands on the UI thread's loop.
class TThreadContext {
public:
    TThreadContext() : context_(g_main_context_new()) { g_main_context_push_thread_default(context_); }
    ~TThreadContext() {
        while (g_main_context_iteration(context_, FALSE)) {
        }
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
    }
    TThreadContext(const TThreadContext&) = delete;
    TThreadContext& operator=(const TThreadContext&) = delete;

private:
    GMainContext* context_;
};

std::string ContactName(EContact* contact) {
    for (const EContactField field : {E_CONTACT_FULL_NAME, E_CONTACT_FILE_AS, E_CONTACT_NICKNAME}) {
        const auto* text = static_cast<const char*>(e_contact_get_const(contact, field));
        if (text && *text) return TrimText(text);
    }
    return {};
}

void AddAddresses(EContact* contact, std::vector<TAddressEntry>& entries) {
    const std::string name = ContactName(contact);
    auto* emails = static_cast<GList*>(e_contact_get(contact, E_CONTACT_EMAIL));
    for (GList* l = emails; l; l = l->next) {
        const auto* text = static_cast<const char*>(l->data);
        TAddressEntry entry{name, text ? TrimText(text) : std::string()};
        if (entry.Email.empty()) continue;
        if (std::find(entries.begin(), entries.end(), entry) == entries.end()) entries.push_back(std::move(entry));
    }
    g_list_free_full(emails, g_free);
}

void AppendReason(std::string& reasons, const std::string& reason) {
    if (!reasons.empty()) reasons += "; ";
    reasons += reason;
}

}  // namespace

TAddressBookCancel::TAddressBookCancel() : cancellable_(g_cancellable_new()) {}
TAddressBookCancel::~TAddressBookCancel() { g_object_unref(cancellable_); }
void TAddressBookCancel::Cancel() { g_cancellable_cancel(static_cast<GCancellable*>(cancellable_)); }
bool TAddressBookCancel::Cancelled() const {
    return g_cancellable_is_cancelled(static_cast<GCancellable*>(cancellable_));
}

std::string SessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return address;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return {};
    const std::string path = std::string(runtime) + "/bus";
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return {};
    return "unix:path=" + path;
}

TAddressBookReading ReadDesktopAddressBook(const TAddressBookCancel& cancel) {
    TAddressBookReading r;
    if (SessionBusAddress().empty()) {
        r.Reason = "no session bus (DBUS_SESSION_BUS_ADDRESS is not set and there is no $XDG_RUNTIME_DIR/bus)";
        return r;
    }
    auto* cancellable = static_cast<GCancellable*>(cancel.Native());
    const TThreadContext context;
    GError* error = nullptr;
    const TRef<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, cancellable, &error));
    if (!bus) {
        r.Reason = "session bus: " + MessageOf(TError(error).get());
        return r;
    }
    // A bus that goes away ends the reading, not the program.
    g_dbus_connection_set_exit_on_close(bus.get(), FALSE);

    // The registry's proxy comes up empty when nothing provides it; asking
    // the bus to start it first tells that apart. It may take long: the
    // picker's time-out and its cancel end the wait.
    GVariant* started = g_dbus_connection_call_sync(
        bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "StartServiceByName",
        g_variant_new("(su)", kRegistryService, 0u), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, G_MAXINT,
        cancellable, &error);
    if (!started) {
        r.Reason = "source registry: " + MessageOf(TError(error).get());
        return r;
    }
    g_variant_unref(started);
    const TRef<ESourceRegistry> registry(e_source_registry_new_sync(cancellable, &error));
    if (!registry) {
        r.Reason = "source registry: " + MessageOf(TError(error).get());
        return r;
    }
    GList* sources = e_source_registry_list_enabled(registry.get(), E_SOURCE_EXTENSION_ADDRESS_BOOK);
    bool opened = false;
    std::string reasons;
    for (GList* l = sources; l && !cancel.Cancelled(); l = l->next) {
        auto* source = static_cast<ESource*>(l->data);
        // Books on a server are read as far as they are kept here: no wait
        // for them to go online.
        const TRef<EClient> client(
            e_book_client_connect_sync(source, static_cast<guint32>(-1), cancellable, &error));
        if (!client) {
            AppendReason(reasons, MessageOf(TError(error).get()));
            error = nullptr;
            continue;
        }
        opened = true;
        GSList* contacts = nullptr;
        if (!e_book_client_get_contacts_sync(E_BOOK_CLIENT(client.get()), "(exists \"email\")", &contacts,
                                             cancellable, &error)) {
            AppendReason(reasons, std::string(e_source_get_display_name(source)) + ": " +
                                      MessageOf(TError(error).get()));
            error = nullptr;
            continue;
        }
        for (GSList* c = contacts; c; c = c->next) AddAddresses(E_CONTACT(c->data), r.Entries);
        g_slist_free_full(contacts, g_object_unref);
    }
    const bool none = sources == nullptr;
    g_list_free_full(sources, g_object_unref);
    r.Reason = reasons;
    if (!r.Entries.empty()) {
        r.State = TAddressBookState::Found;
    } else if (opened) {
        r.State = TAddressBookState::NoAddresses;
    } else if (none) {
        r.Reason = "the source registry lists no enabled address book";
    }
    return r;
}

}  // namespace qv
