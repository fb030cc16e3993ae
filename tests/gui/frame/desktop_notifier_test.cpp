// Desktop notifications of arriving lines, checked against a notification
// service of the test's own: a private D-Bus daemon, and a listener on its
// own thread that owns org.freedesktop.Notifications and records every
// Notify and CloseNotification call.
#include "gui/frame/desktop_notifier.h"

#include <gio/gio.h>
#include <signal.h>
#include <sys/wait.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/chat/conversation.h"
#include "gui/support/frame_fixture.h"

namespace {

constexpr const char* kInterface = R"(
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg direction="in" type="s"/><arg direction="in" type="u"/>
      <arg direction="in" type="s"/><arg direction="in" type="s"/>
      <arg direction="in" type="s"/><arg direction="in" type="as"/>
      <arg direction="in" type="a{sv}"/><arg direction="in" type="i"/>
      <arg direction="out" type="u"/>
    </method>
    <method name="CloseNotification"><arg direction="in" type="u"/></method>
    <method name="GetCapabilities"><arg direction="out" type="as"/></method>
  </interface>
</node>)";

// One recorded call: "Notify" with its fields, or "Close" with the id.
struct Call {
  std::string method;
  uint32_t id = 0;  // replaces_id of Notify, the id of Close
  std::string title, body;
  std::vector<std::string> actions;
};

// The private bus: a dbus-daemon this test starts and stops.
class PrivateBus {
 public:
  PrivateBus() {
    const char* argv[] = {"dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr};
    int out = -1;
    GError* error = nullptr;
    if (!g_spawn_async_with_pipes(nullptr, const_cast<char**>(argv), nullptr, G_SPAWN_SEARCH_PATH,
                                  nullptr, nullptr, &pid_, nullptr, &out, nullptr, &error)) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
      return;
    }
    char c;
    while (read(out, &c, 1) == 1 && c != '\n') address_ += c;
    close(out);
  }
  ~PrivateBus() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    g_spawn_close_pid(pid_);
  }
  const std::string& Address() const { return address_; }

 private:
  GPid pid_ = 0;
  std::string address_;
};

// The notification service. Its connection, object and loop live on its
// own thread and main context; the test reads the calls under the lock.
class Listener {
 public:
  explicit Listener(const std::string& address) : thread_([this, address] { Run(address); }) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait_for(hold, std::chrono::seconds(10), [this] { return ready_; });
  }
  ~Listener() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (loop_) g_main_loop_quit(loop_);
      stopping_ = true;
    }
    thread_.join();
  }

  bool Owned() {
    std::lock_guard<std::mutex> hold(lock_);
    return owned_;
  }
  std::vector<Call> Calls() {
    std::lock_guard<std::mutex> hold(lock_);
    return calls_;
  }
  // Waits, pumping the GUI loop, until count calls are recorded.
  bool WaitForCalls(size_t count) {
    return PumpUntil([&] { return Calls().size() >= count; }, std::chrono::seconds(10));
  }
  // What the service sends when the user clicks notification id.
  void Click(uint32_t id) {
    g_dbus_connection_emit_signal(bus_, nullptr, "/org/freedesktop/Notifications",
                                  "org.freedesktop.Notifications", "ActionInvoked",
                                  g_variant_new("(us)", id, "default"), nullptr);
  }

 private:
  void Run(const std::string& address) {
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    bus_ = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
    static const GDBusInterfaceVTable vtable = {&Listener::OnCall, nullptr, nullptr, {}};
    bool owned = false;
    if (bus_) {
      g_dbus_connection_register_object(bus_, "/org/freedesktop/Notifications", node->interfaces[0],
                                        &vtable, this, nullptr, nullptr);
      GVariant* reply = g_dbus_connection_call_sync(
          bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
          "RequestName", g_variant_new("(su)", "org.freedesktop.Notifications", 4u),
          G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
      if (reply) {
        uint32_t result = 0;
        g_variant_get(reply, "(u)", &result);
        owned = result == 1;  // primary owner
        g_variant_unref(reply);
      }
    }
    GMainLoop* loop = g_main_loop_new(context, FALSE);
    {
      std::lock_guard<std::mutex> hold(lock_);
      loop_ = loop;
      owned_ = owned;
      ready_ = true;
      changed_.notify_all();
    }
    bool stopping;
    {
      std::lock_guard<std::mutex> hold(lock_);
      stopping = stopping_;
    }
    if (!stopping) g_main_loop_run(loop);
    {
      std::lock_guard<std::mutex> hold(lock_);
      loop_ = nullptr;
    }
    g_main_loop_unref(loop);
    if (bus_) {
      g_dbus_connection_close_sync(bus_, nullptr, nullptr);
      g_object_unref(bus_);
    }
    g_dbus_node_info_unref(node);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
  }

  static void OnCall(GDBusConnection*, const char*, const char*, const char*, const char* method,
                     GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
    auto* listener = static_cast<Listener*>(self);
    Call call;
    if (g_str_equal(method, "GetCapabilities")) {
      const char* capabilities[] = {"body", "actions", nullptr};
      g_dbus_method_invocation_return_value(invocation, g_variant_new("(^as)", capabilities));
      return;
    }
    if (g_str_equal(method, "Notify")) {
      const char *app, *icon, *title, *body;
      GVariantIter* actions;
      GVariant* hints;
      int32_t timeout;
      g_variant_get(parameters, "(&su&s&s&sas@a{sv}i)", &app, &call.id, &icon, &title, &body,
                    &actions, &hints, &timeout);
      call.method = "Notify";
      call.title = title;
      call.body = body;
      const char* action;
      while (g_variant_iter_loop(actions, "&s", &action)) call.actions.push_back(action);
      g_variant_iter_free(actions);
      g_variant_unref(hints);
      std::lock_guard<std::mutex> hold(listener->lock_);
      // Ids as a service gives them: the replaced one, or the next.
      const uint32_t id = call.id ? call.id : ++listener->last_id_;
      listener->calls_.push_back(call);
      g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", id));
      return;
    }
    g_variant_get(parameters, "(u)", &call.id);
    call.method = "Close";
    std::lock_guard<std::mutex> hold(listener->lock_);
    listener->calls_.push_back(call);
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }

  std::mutex lock_;  // guards everything below but bus_
  std::condition_variable changed_;
  bool ready_ = false;
  bool owned_ = false;
  bool stopping_ = false;
  GMainLoop* loop_ = nullptr;
  uint32_t last_id_ = 0;
  std::vector<Call> calls_;
  GDBusConnection* bus_ = nullptr;  // set before ready_, closed by the thread
  std::thread thread_;
};

class DesktopNotifierTest : public FrameTest {
 protected:
  void SetUp() override {
    ASSERT_FALSE(bus_.Address().empty());
    g_setenv("DBUS_SESSION_BUS_ADDRESS", bus_.Address().c_str(), TRUE);
    listener_ = std::make_unique<Listener>(bus_.Address());
    ASSERT_TRUE(listener_->Owned());
    settings->EnableNotifications = 1;
  }
  void TearDown() override {
    FrameTest::TearDown();
    listener_.reset();
    g_unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }

  void Activate(bool active) {
    wxActivateEvent event(wxEVT_ACTIVATE, active, frame->GetId());
    event.SetEventObject(frame);
    frame->ProcessWindowEvent(event);
  }
  void Arrive(const std::string& sender, const std::string& line) {
    frame->GetReporter().ConversationLine(sender + " Says>\n" + line + "\n\n");
    frame->GetReporter().ChatLineArrived(sender, line);
  }

  PrivateBus bus_;
  std::unique_ptr<Listener> listener_;
};

TEST_F(DesktopNotifierTest, ALineSeenFromElsewhereIsPostedReplacedAndWithdrawnOnActivation) {
  MakeFrame();
  Activate(false);
  // 90 characters, the first of two bytes each: only 80 are shown.
  std::string line;
  for (int i = 0; i < 90; ++i) line += "\xc3\xa9";
  Arrive("Ann", line);
  ASSERT_TRUE(listener_->WaitForCalls(1));
  Call first = listener_->Calls()[0];
  EXPECT_EQ("Notify", first.method);
  EXPECT_EQ(0u, first.id);
  EXPECT_EQ("Ann says", first.title);
  EXPECT_EQ(line.substr(0, 160), first.body);
  EXPECT_EQ((std::vector<std::string>{"default", "Show"}), first.actions);
  // The next line replaces the unread notice; bytes that are not UTF-8 are
  // shown as Latin-1.
  Arrive("Z\xe9", "second <b>line</b>");
  ASSERT_TRUE(listener_->WaitForCalls(2));
  Call second = listener_->Calls()[1];
  EXPECT_EQ(1u, second.id);
  EXPECT_EQ("Z\xc3\xa9 says", second.title);
  EXPECT_EQ("second <b>line</b>", second.body);  // the service reads no markup
  // Activating the window withdraws it; the next line is a new notice.
  Activate(true);
  ASSERT_TRUE(listener_->WaitForCalls(3));
  EXPECT_EQ("Close", listener_->Calls()[2].method);
  EXPECT_EQ(1u, listener_->Calls()[2].id);
  // Nothing while the window is active.
  Arrive("Ann", "seen already");
  PumpEvents(std::chrono::milliseconds(300));
  EXPECT_EQ(3u, listener_->Calls().size());
  Activate(false);
  Arrive("Ann", "third");
  ASSERT_TRUE(listener_->WaitForCalls(4));
  EXPECT_EQ(0u, listener_->Calls()[3].id);
  EXPECT_EQ("third", listener_->Calls()[3].body);
}

TEST_F(DesktopNotifierTest, TheTextSettingThePrivateHookAndTheSwitch) {
  const struct {
    int32_t text;
    bool is_private;
    bool full;
  } cases[] = {
      {ProgramSettings::kNoticeBySession, false, true},
      {ProgramSettings::kNoticeBySession, true, false},
      {ProgramSettings::kNoticeNameOnly, false, false},
      {ProgramSettings::kNoticeFull, true, true},
  };
  MakeFrame();
  Activate(false);
  size_t calls = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.text) + (c.is_private ? " private" : ""));
    settings->NotificationText = c.text;
    // The conversation tells the frame whether it is private.
    frame->GetReporter().PrivacyStatus(c.is_private ? Conversation::kPrivateStatus
                                                    : Conversation::kBasicStatus);
    Arrive("Bob", "the words");
    ASSERT_TRUE(listener_->WaitForCalls(++calls));
    EXPECT_EQ("Bob says", listener_->Calls().back().title);
    EXPECT_EQ(c.full ? "the words" : "", listener_->Calls().back().body);
  }
  // Switched off in Config: nothing is posted.
  settings->EnableNotifications = 0;
  Arrive("Bob", "quiet");
  PumpEvents(std::chrono::milliseconds(300));
  EXPECT_EQ(calls, listener_->Calls().size());
}

TEST_F(DesktopNotifierTest, AClickOnTheNoticeRaisesTheWindow) {
  MakeFrame();
  Activate(false);
  Arrive("Ann", "look here");
  ASSERT_TRUE(listener_->WaitForCalls(1));
  frame->Hide();
  listener_->Click(1);
  EXPECT_TRUE(PumpUntil([&] { return frame->IsShown(); }, std::chrono::seconds(5)));
  // A click on a notice that is not the program's current one does nothing.
  frame->Hide();
  listener_->Click(7);
  PumpEvents(std::chrono::milliseconds(300));
  EXPECT_FALSE(frame->IsShown());
}

}  // namespace
