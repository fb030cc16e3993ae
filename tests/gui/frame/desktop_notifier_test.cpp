// Desktop notifications of arriving lines, checked against a notification
// service of the test's own: a private D-Bus daemon, and a listener that
// owns org.freedesktop.Notifications and records every Notify and
// CloseNotification call.
#include "gui/frame/desktop_notifier.h"

#include <gio/gio.h>

#include <vector>

#include "core/chat/conversation.h"
#include "core/util/reporter.h"
#include "gui/support/frame_fixture.h"

namespace {

constexpr const char* kName = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = R"(<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify"><arg type="s"/><arg type="u"/><arg type="s"/><arg type="s"/>
      <arg type="s"/><arg type="as"/><arg type="a{sv}"/><arg type="i"/>
      <arg direction="out" type="u"/></method>
    <method name="CloseNotification"><arg type="u"/></method>
    <method name="GetCapabilities"><arg direction="out" type="as"/></method>
  </interface></node>)";

// One recorded call: "Notify" with its fields, or "CloseNotification" with the id.
struct Call {
  std::string method;
  uint32_t id = 0;  // replaces_id of Notify, the id to close
  std::string title, body;
};

// The notification service, on the GUI thread's main context: the toolkit's
// loop (PumpUntil) answers the program's calls.
struct Listener {
  explicit Listener(const std::string& address) {
    bus_ = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (!bus_) return;
    node_ = g_dbus_node_info_new_for_xml(kInterface, nullptr);
    static const GDBusInterfaceVTable vtable = {&Listener::OnCall, nullptr, nullptr, {}};
    g_dbus_connection_register_object(bus_, kPath, node_->interfaces[0], &vtable, this, nullptr,
                                      nullptr);
    GVariant* reply = g_dbus_connection_call_sync(
        bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", kName, 4u), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    if (!reply) return;
    uint32_t result = 0;
    g_variant_get(reply, "(u)", &result);
    owned = result == 1;  // primary owner
    g_variant_unref(reply);
  }
  ~Listener() {
    if (bus_) g_dbus_connection_close_sync(bus_, nullptr, nullptr), g_object_unref(bus_);
    if (node_) g_dbus_node_info_unref(node_);
  }

  bool WaitForCalls(size_t count) {
    return PumpUntil([&] { return calls.size() >= count; }, std::chrono::seconds(10));
  }
  // What the service sends when the user clicks notice id, or when it
  // closes the notice itself.
  void Emit(const char* signal, GVariant* parameters) {
    g_dbus_connection_emit_signal(bus_, nullptr, kPath, kName, signal, parameters, nullptr);
  }

  static void OnCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                     GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
    auto* listener = static_cast<Listener*>(self);
    if (g_str_equal(method, "GetCapabilities")) {
      const char* capabilities[] = {"body", "actions", nullptr};
      return g_dbus_method_invocation_return_value(invocation,
                                                   g_variant_new("(^as)", capabilities));
    }
    uint32_t id = 0;
    if (g_str_equal(method, "CloseNotification")) {
      g_variant_get(parameters, "(u)", &id);
      listener->calls.push_back({method, id, "", ""});
      return g_dbus_method_invocation_return_value(invocation, nullptr);
    }
    const char *title, *body;
    g_variant_get(parameters, "(&su&s&s&sas@a{sv}i)", nullptr, &id, nullptr, &title, &body, nullptr,
                  nullptr, nullptr);
    listener->calls.push_back({method, id, title, body});
    // Ids as a service gives them: the replaced one, or the next.
    if (id == 0) id = ++listener->last_id;
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", id));
  }

  GDBusConnection* bus_ = nullptr;
  GDBusNodeInfo* node_ = nullptr;
  bool owned = false;
  uint32_t last_id = 0;
  std::vector<Call> calls;
};

class DesktopNotifierTest : public FrameTest {
 protected:
  // A private dbus-daemon, whose address the program finds in its
  // environment.
  void SetUp() override {
    g_test_dbus_up(bus_);
    listener_ = std::make_unique<Listener>(g_test_dbus_get_bus_address(bus_));
    ASSERT_TRUE(listener_->owned);
    settings->EnableNotifications = 1;
  }
  void TearDown() override {
    FrameTest::TearDown();
    listener_.reset();
    g_test_dbus_down(bus_);
    g_object_unref(bus_);
  }

  void Arrive(const std::string& sender, const std::string& line) {
    frame->GetReporter().ConversationLine(sender + " Says>\n" + line + "\n\n");
    frame->GetReporter().ChatLineArrived(sender, line);
  }

  GTestDBus* bus_ = g_test_dbus_new(G_TEST_DBUS_NONE);
  std::unique_ptr<Listener> listener_;
};

TEST_F(DesktopNotifierTest, ALineSeenFromElsewhereIsPostedReplacedWithdrawnAndKeptPrivate) {
  MakeFrame();
  Activate(false);
  // 90 characters, all but the first of two bytes: only 80 are shown.
  std::string line = "x";
  for (int i = 1; i < 90; ++i) line += "\xc3\xa9";
  Arrive("Ann", line);
  ASSERT_TRUE(listener_->WaitForCalls(1));
  const Call first = listener_->calls[0];
  EXPECT_EQ(0u, first.id);
  EXPECT_EQ("Ann says", first.title);
  EXPECT_EQ(line.substr(0, 1 + 79 * 2), first.body);
  // The next line replaces the unread notice; bytes that are not UTF-8 are
  // shown as Latin-1.
  Arrive("Z\xe9", "second <b>line</b>");
  ASSERT_TRUE(listener_->WaitForCalls(2));
  const Call second = listener_->calls[1];
  EXPECT_EQ(1u, second.id);
  EXPECT_EQ("Z\xc3\xa9 says", second.title);
  EXPECT_EQ("second <b>line</b>", second.body);  // the service reads no markup
  // Activating the window withdraws it; nothing while the window is active.
  Activate(true);
  ASSERT_TRUE(listener_->WaitForCalls(3));
  EXPECT_EQ("CloseNotification", listener_->calls[2].method);
  EXPECT_EQ(1u, listener_->calls[2].id);
  Arrive("Ann", "seen already");
  PumpEvents(std::chrono::milliseconds(300));
  EXPECT_EQ(3u, listener_->calls.size());
  // The next line is a new notice.
  Activate(false);
  Arrive("Ann", "third");
  ASSERT_TRUE(listener_->WaitForCalls(4));
  EXPECT_EQ(0u, listener_->calls[3].id);
  EXPECT_EQ("third", listener_->calls[3].body);
  // By default a private session's notice names the sender only; switched
  // off in Config, nothing is posted.
  frame->GetReporter().PrivacyStatus(Conversation::kPrivateStatus);
  Arrive("Bob", "the words");
  ASSERT_TRUE(listener_->WaitForCalls(5));
  EXPECT_EQ("", listener_->calls[4].body);
  settings->EnableNotifications = 0;
  Arrive("Bob", "quiet");
  PumpEvents(std::chrono::milliseconds(300));
  EXPECT_EQ(5u, listener_->calls.size());
}

// A notice the service closed is not replaced; a click on the current
// notice raises the window, a click on another does nothing.
TEST_F(DesktopNotifierTest, AClosedNoticeIsNotReplacedAndAClickOnTheNoticeRaisesTheWindow) {
  MakeFrame();
  Activate(false);
  Arrive("Ann", "look here");
  ASSERT_TRUE(listener_->WaitForCalls(1));
  listener_->Emit("Unrelated", g_variant_new("(uu)", 1u, 2u));  // changes nothing
  PumpEvents(std::chrono::milliseconds(200));
  Arrive("Ann", "still here");
  ASSERT_TRUE(listener_->WaitForCalls(2));
  EXPECT_EQ(1u, listener_->calls[1].id);
  listener_->Emit("NotificationClosed", g_variant_new("(uu)", 1u, 2u));
  PumpEvents(std::chrono::milliseconds(200));
  Arrive("Ann", "and here");
  ASSERT_TRUE(listener_->WaitForCalls(3));
  EXPECT_EQ(0u, listener_->calls[2].id);  // the service answers with id 2
  frame->Hide();
  listener_->Emit("ActionInvoked", g_variant_new("(us)", 1u, "default"));
  PumpEvents(std::chrono::milliseconds(300));
  EXPECT_FALSE(frame->IsShown());
  listener_->Emit("ActionInvoked", g_variant_new("(us)", 2u, "default"));
  EXPECT_TRUE(PumpUntil([&] { return frame->IsShown(); }, std::chrono::seconds(5)));
}

}  // namespace
