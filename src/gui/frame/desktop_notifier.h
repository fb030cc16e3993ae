#ifndef QUILLO_GUI_FRAME_DESKTOP_NOTIFIER_H
#define QUILLO_GUI_FRAME_DESKTOP_NOTIFIER_H

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// What a notification says: a title and a body, both valid UTF-8.
struct DesktopNotice {
  std::string title;
  std::string body;
};

// The notice for a line from sender: "NAME says" and, unless name_only, the
// line's first kExcerptCharacters characters. Bytes that are not UTF-8 are
// read as Latin-1, as the conversation window shows them.
DesktopNotice ChatLineNotice(const std::string& sender, const std::string& line, bool name_only);
constexpr size_t kExcerptCharacters = 80;

// Posts notices to the desktop's notification service
// (org.freedesktop.Notifications on the session bus) over a bus connection
// of its own. At most one notice of the program is on screen: a new one
// replaces the one still unread, Withdraw() takes it away, and a click on it
// runs the raise callback. Without a session bus or a service nothing is
// shown and nothing fails.
//
// Thread rules: GUI thread only. Every D-Bus reply and signal is handled in
// the main context the object was created in (the GUI loop). The
// connection is made on the first Post(), so windows that never notify
// never touch the bus.
//
// Ownership: owns its connection; the destructor withdraws the notice on
// screen and cancels every call still pending, whose late replies then find
// nothing to touch.
class DesktopNotifier {
 public:
  explicit DesktopNotifier(std::function<void()> raise);
  ~DesktopNotifier();
  DesktopNotifier(const DesktopNotifier&) = delete;
  DesktopNotifier& operator=(const DesktopNotifier&) = delete;

  // Shows notice, replacing the program's unread one.
  void Post(const DesktopNotice& notice);
  // Takes the program's notice off the screen, if one is there.
  void Withdraw();

 private:
  enum class Link { kNotYet, kConnecting, kCapabilities, kReady, kNone };

  void Connect();
  void Subscribe();
  void AskCapabilities();
  void Pump();
  void SendNotify(const DesktopNotice& notice);
  void SendClose(uint32_t id);

  static void OnConnected(GObject* source, GAsyncResult* result, gpointer self);
  static void OnCapabilities(GObject* source, GAsyncResult* result, gpointer self);
  static void OnNotified(GObject* source, GAsyncResult* result, gpointer self);
  static void OnSignal(GDBusConnection* bus, const char* sender, const char* path,
                       const char* interface, const char* signal, GVariant* parameters,
                       gpointer self);

  std::function<void()> raise_;
  GCancellable* cancel_;
  GDBusConnection* bus_ = nullptr;
  Link link_ = Link::kNotYet;
  bool markup_ = false;                   // the service reads the body as markup
  uint32_t shown_id_ = 0;                 // the program's notice on screen, 0 for none
  bool in_flight_ = false;                // a Notify call waits for its reply
  bool withdraw_after_ = false;           // withdraw what that reply names
  std::optional<DesktopNotice> pending_;  // newest notice not sent yet
  unsigned signal_subscription_ = 0;
};

#endif  // QUILLO_GUI_FRAME_DESKTOP_NOTIFIER_H
