#include "gui/frame/desktop_notifier.h"

#include <utility>

#include "gui/frame/gui_text.h"

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr int kCallTimeoutMs = 5000;

// Valid UTF-8, whatever bytes came in (D-Bus refuses anything else).
std::string Utf8(const std::string& bytes) { return ProgramText(GuiText(bytes)); }

// The first count characters of valid UTF-8 text.
std::string FirstCharacters(const std::string& text, size_t count) {
  size_t end = 0;
  for (size_t seen = 0; end < text.size() && seen < count; ++seen) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  }
  return text.substr(0, end);
}

// The bus the desktop session runs. Only an address the session publishes
// counts: asking GLib for "the session bus" would start a bus of its own
// where there is none.
std::string SessionBusAddress() {
  if (const char* address = g_getenv("DBUS_SESSION_BUS_ADDRESS")) return address;
  const char* runtime = g_getenv("XDG_RUNTIME_DIR");
  if (!runtime) return std::string();
  const std::string socket = std::string(runtime) + "/bus";
  if (!g_file_test(socket.c_str(), G_FILE_TEST_EXISTS)) return std::string();
  return "unix:path=" + socket;
}

// A late reply to an object already gone carries G_IO_ERROR_CANCELLED.
bool Cancelled(GError* error) { return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED); }

// Finishes a method call: its reply, or null when it failed (the error is
// dropped). *cancelled says the notifier is being destroyed, and then the
// caller must not touch it.
GVariant* FinishCall(GObject* source, GAsyncResult* result, bool* cancelled) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  *cancelled = Cancelled(error);
  if (error != nullptr) g_error_free(error);
  return reply;
}

}  // namespace

DesktopNotice ChatLineNotice(const std::string& sender, const std::string& line, bool name_only) {
  DesktopNotice notice;
  notice.title = Utf8(sender) + " says";
  if (!name_only) notice.body = FirstCharacters(Utf8(line), kExcerptCharacters);
  return notice;
}

DesktopNotifier::DesktopNotifier(std::function<void()> raise)
    : raise_(std::move(raise)), cancel_(g_cancellable_new()) {}

DesktopNotifier::~DesktopNotifier() {
  g_cancellable_cancel(cancel_);
  if (bus_) {
    if (signal_subscription_) g_dbus_connection_signal_unsubscribe(bus_, signal_subscription_);
    // A notice left behind would raise a window that is gone.
    if (shown_id_) SendClose(shown_id_);
    g_dbus_connection_flush_sync(bus_, nullptr, nullptr);
    g_object_unref(bus_);
  }
  g_object_unref(cancel_);
}

void DesktopNotifier::Post(const DesktopNotice& notice) {
  pending_ = notice;
  withdraw_after_ = false;
  Pump();
}

void DesktopNotifier::Withdraw() {
  pending_.reset();
  if (in_flight_) {
    withdraw_after_ = true;
  } else if (shown_id_) {
    SendClose(shown_id_);
    shown_id_ = 0;
  }
}

// Sends what is waiting once the link is up and no Notify is on its way:
// the service's reply gives the id the next notice replaces.
void DesktopNotifier::Pump() {
  if (link_ == Link::kNotYet) Connect();
  if (link_ != Link::kReady || in_flight_ || !pending_) return;
  SendNotify(*pending_);
  pending_.reset();
}

void DesktopNotifier::Connect() {
  const std::string address = SessionBusAddress();
  if (address.empty()) {
    link_ = Link::kNone;
    return;
  }
  link_ = Link::kConnecting;
  g_dbus_connection_new_for_address(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, cancel_, &DesktopNotifier::OnConnected, this);
}

void DesktopNotifier::OnConnected(GObject*, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  GDBusConnection* bus = g_dbus_connection_new_for_address_finish(result, &error);
  if (Cancelled(error)) {
    g_error_free(error);
    return;
  }
  auto* notifier = static_cast<DesktopNotifier*>(self);
  if (!bus) {
    g_error_free(error);
    notifier->link_ = Link::kNone;
    return;
  }
  notifier->bus_ = bus;
  notifier->Subscribe();
  notifier->AskCapabilities();
}

void DesktopNotifier::Subscribe() {
  signal_subscription_ = g_dbus_connection_signal_subscribe(
      bus_, kService, kService, nullptr, kPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      &DesktopNotifier::OnSignal, this, nullptr);
}

void DesktopNotifier::AskCapabilities() {
  link_ = Link::kCapabilities;
  g_dbus_connection_call(bus_, kService, kPath, kService, "GetCapabilities", nullptr,
                         G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, cancel_,
                         &DesktopNotifier::OnCapabilities, this);
}

void DesktopNotifier::OnCapabilities(GObject* source, GAsyncResult* result, gpointer self) {
  bool cancelled = false;
  GVariant* reply = FinishCall(source, result, &cancelled);
  if (cancelled) return;
  auto* notifier = static_cast<DesktopNotifier*>(self);
  if (!reply) {
    // No service on this bus: nothing to show the notices.
    notifier->link_ = Link::kNone;
    notifier->pending_.reset();
    return;
  }
  GVariantIter* capabilities = nullptr;
  g_variant_get(reply, "(as)", &capabilities);
  const char* capability = nullptr;
  while (g_variant_iter_loop(capabilities, "&s", &capability)) {
    if (g_str_equal(capability, "body-markup")) notifier->markup_ = true;
  }
  g_variant_iter_free(capabilities);
  g_variant_unref(reply);
  notifier->link_ = Link::kReady;
  notifier->Pump();
}

void DesktopNotifier::SendNotify(const DesktopNotice& notice) {
  std::string body = notice.body;
  if (markup_) {
    char* escaped = g_markup_escape_text(body.c_str(), static_cast<gssize>(body.size()));
    body = escaped;
    g_free(escaped);
  }
  GVariantBuilder actions;
  g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
  // "default" is the action of a click on the notice itself.
  g_variant_builder_add(&actions, "s", "default");
  g_variant_builder_add(&actions, "s", "Show");
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string("quillo"));
  g_variant_builder_add(&hints, "{sv}", "category", g_variant_new_string("im.received"));
  GVariant* arguments = g_variant_new("(susssasa{sv}i)", "Quillo", shown_id_, "quillo",
                                      notice.title.c_str(), body.c_str(), &actions, &hints, -1);
  in_flight_ = true;
  g_dbus_connection_call(bus_, kService, kPath, kService, "Notify", arguments,
                         G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, cancel_,
                         &DesktopNotifier::OnNotified, this);
}

void DesktopNotifier::OnNotified(GObject* source, GAsyncResult* result, gpointer self) {
  bool cancelled = false;
  GVariant* reply = FinishCall(source, result, &cancelled);
  if (cancelled) return;
  auto* notifier = static_cast<DesktopNotifier*>(self);
  notifier->in_flight_ = false;
  uint32_t id = 0;
  if (reply) {
    g_variant_get(reply, "(u)", &id);
    g_variant_unref(reply);
  }
  notifier->shown_id_ = id;
  if (notifier->withdraw_after_) {
    notifier->withdraw_after_ = false;
    notifier->Withdraw();
  }
  notifier->Pump();
}

void DesktopNotifier::SendClose(uint32_t id) {
  g_dbus_connection_call(bus_, kService, kPath, kService, "CloseNotification",
                         g_variant_new("(u)", id), nullptr, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
                         nullptr, nullptr, nullptr);
}

void DesktopNotifier::OnSignal(GDBusConnection*, const char*, const char*, const char*,
                               const char* signal, GVariant* parameters, gpointer self) {
  auto* notifier = static_cast<DesktopNotifier*>(self);
  if (g_str_equal(signal, "NotificationClosed") &&
      g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) {
    uint32_t id = 0, reason = 0;
    g_variant_get(parameters, "(uu)", &id, &reason);
    if (id == notifier->shown_id_) notifier->shown_id_ = 0;
  } else if (g_str_equal(signal, "ActionInvoked") &&
             g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
    uint32_t id = 0;
    const char* action = nullptr;
    g_variant_get(parameters, "(u&s)", &id, &action);
    if (id != 0 && id == notifier->shown_id_ && g_str_equal(action, "default")) notifier->raise_();
  }
}
