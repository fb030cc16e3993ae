#ifndef QUILLO_CORE_CHAT_SESSION_H
#define QUILLO_CORE_CHAT_SESSION_H

#include <netinet/in.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/chat/conversation.h"
#include "core/crypto/private_channel.h"
#include "core/net/host_address.h"
#include "core/net/name_lookup.h"
#include "core/net/socket.h"
#include "core/thread/wake_event.h"

class Reporter;

// The values a session uses, copied from the program's settings when the
// session starts. Config edits after that reach the next session only;
// the audio switch alone goes live, through ChatSession::SetAudioEnabled.
struct SessionSnapshot {
  std::string screen_name = "Quillo";  // at most 24 bytes reach the wire
  std::string greeting;                // empty: the built-in welcome
  uint16_t key = 52917;
  int port = 59152;  // hosting on 0 listens on a free port
  bool audio = true;
  std::string audio_file;
  // The name whose address is shown when no interface gives one (empty:
  // the machine's own name).
  std::string host_name;
  long sign_on_timeout_ms = 30000;  // a caller's 33 sign-on bytes
  long body_timeout_ms = 60000;     // the rest of a message once begun
  // Calling a host: each of its addresses but the last is given up after
  // connect_try_ms for the next; the whole call (name lookup included)
  // after connect_total_ms.
  long connect_try_ms = 5000;
  long connect_total_ms = 60000;
  // Private sessions: whether to offer them, and the passphrase that joins
  // the key in the password (empty: the key alone).
  PrivateMode private_mode = PrivateMode::kPrefer;
  std::string passphrase;
  // The host's brake on guessing: after a caller failed the key check, the
  // next sign-on is answered this long after the failure at first, twice as
  // long after each further failure, up to 64 times this.
  long guess_delay_ms = 1000;
};

enum class SessionState {
  kIdle,
  kConnecting,         // the connect thread is joining a host
  kHostingFree,        // listening, nobody on the line
  kHostingBusy,        // listening, one partner on the line
  kConnectedAsClient,  // on a host's line
  kEnding,             // End or Close is stopping the workers
};

// The chat session: the one owner of everything a session runs.
//
// Owns: the listener descriptor, the connection being made, the
// conversation (its descriptor and its two threads), the listener thread,
// the connect thread and the activity-sound thread, and the snapshot.
//
// Invariants: the state says which workers may run (kIdle: none but the
// sound thread; kConnecting: the connect thread; kHosting*: the listener
// thread, plus the conversation when busy; kConnectedAsClient: the
// conversation). A command that does not fit the state is refused with the
// program's message box before anything is touched, so the listener and a
// connect can never share or close each other's descriptors. Every thread
// is woken (its WakeEvent in each poll, the connect's name lookup and
// connection attempts included) and then joined; no thread outlives the
// object. A name lookup's helper thread alone may, as name_lookup.h says;
// it touches nothing of the session.
//
// Thread rules: the commands (Check*, Host, Connect, JoinConnect,
// CancelConnect, Send, Flush, End, Close) come from one controlling thread,
// the GUI thread or the terminal program's main thread; they never block on
// the network (End and Close wait at most about a quarter of a second for
// the sign-off to leave; Close also waits for an activity sound that is
// playing). State, the report lines and SetAudioEnabled may
// be called from any thread. Workers report through the Reporter, which
// must outlive the session; nothing is reported by a worker once the
// command stopping it has returned.
class ChatSession {
 public:
  explicit ChatSession(Reporter& reporter);
  ~ChatSession();  // Close()
  ChatSession(const ChatSession&) = delete;
  ChatSession& operator=(const ChatSession&) = delete;

  // The boxes of the commands; true when the command may go on.
  bool CheckHost();
  bool CheckConnect();
  bool CheckInvitation();

  // Opens the listener on snapshot.port and starts the listener thread;
  // false (reported) when refused or the port cannot be had.
  bool Host(const SessionSnapshot& snapshot);
  // Starts joining address:snapshot.port; false when refused. The state is
  // kConnecting until the attempt ends; then JoinConnect.
  bool Connect(const std::string& address, const SessionSnapshot& snapshot);
  // After the state has left kConnecting: joins the connect thread; true
  // when the conversation is up.
  bool JoinConnect();
  // Stops a connect in progress without a word from it; the state is kIdle.
  void CancelConnect();

  // Queues one line for the partner (one final line end dropped) and
  // echoes it. While a private session is being negotiated the line is
  // held and leaves, in order, once the mode is known. false keeps the
  // input: nothing to send, not connected, or too long for the partner
  // (reported with the limit).
  bool Send(const std::string& text);
  // Waits until every queued line, and every line held while a private
  // session is negotiated, has been written to the connection.
  bool Flush(long timeout_ms);
  // Writes completed so far in the current conversation: lines, the
  // private session's handshake messages, and lines held during the
  // negotiation, which leave together.
  uint64_t LinesWritten() const;

  // The End command. Signs the partner off, then, when hosting, asks
  // ask_host_again (empty: do not ask, stop): true keeps the listener.
  void End(const std::function<bool()>& ask_host_again);
  // Stops everything without a question or a window line.
  void Close();

  SessionState State() const;
  // Conversations begun on this session, and those that ended by
  // themselves (not by End or Close), with how the last of them ended: a
  // program that is not woken by window events (the terminal program)
  // learns of a partner's arrival and departure by watching these.
  uint64_t ConversationsStarted() const;
  uint64_t ConversationsEnded() const;
  ConversationEnd LastEnd() const;
  bool LineBusy() const;
  std::string PeerName() const;
  int ListeningPort() const;
  // How Connect turns a host name into addresses (the system's resolver
  // unless set). Controlling thread, while no connect runs.
  void SetNameResolver(NameResolver resolver);
  // Where Host learns the addresses Stats and the invitation give (this
  // machine's unless set). Controlling thread, while not hosting.
  void SetPartnerAddressSource(PartnerAddressSource source);
  void SetAudioEnabled(bool on) { audio_.store(on); }

  std::vector<std::string> StatsLines() const;
  std::vector<std::string> InvitationLines(const std::string& time_text) const;

  // The longest line (bytes) a partner accepts: the body takes two bytes
  // a character.
  static constexpr size_t kMaxLineBytes = (1u << 20) / 2;

 private:
  struct Pending;

  void ShowBox(const std::string& text);
  // Stats' last line while a partner is on the line; lock_ held.
  std::string PrivacyLine() const;
  // Reports from a worker, dropped once its stop has begun.
  void WorkerLine(const std::atomic<bool>& quiet, const std::string& text, bool event);

  // The listener thread and its steps.
  void ListenLoop();
  // Accepts every waiting caller; false when out of descriptors.
  bool AcceptCallers(std::vector<Pending>* pending);
  // Reads sign-on bytes; true when the caller is done with (taken or closed).
  bool ReadSignOn(Pending* caller);
  void FailSignOn(Pending* caller);
  void Greet(Pending* caller, const std::string& name);
  void AnswerBusy(Pending* caller, const std::string& name);
  std::string Greeting(bool welcome);
  void StopListener();

  // The connect thread and its steps.
  void ConnectLoop(std::string address);
  // A connected descriptor, or -1 (reported unless woken).
  int OpenConnection(const std::string& address, const SessionSnapshot& snapshot);
  void ConnectFailed(int fd);

  // This side's private-session state for a new connection.
  std::unique_ptr<PrivateChannel> NewChannel(ChannelRole role);
  // Whether a completed sign-on must wait for the guessing brake: sets
  // caller->not_before and returns true when it must.
  bool HoldSignOn(Pending* caller);
  // Answers a caller whose sign-on is complete: greets or says busy.
  void AnswerSignOn(Pending* caller);
  // The receiver's report of the private-session outcome.
  void PrivacyDecided(const Conversation* which, ChannelEvent event);

  // Hands fd to a new conversation (state must be `from`); false: closed.
  bool StartConversation(int fd, const std::string& peer, const std::string& peer_address,
                         std::unique_ptr<PrivateChannel> channel, SessionState from,
                         SessionState to, const std::atomic<bool>& quiet);
  // The receiver's "ended by itself" hook.
  void ConversationEnded(const Conversation* which, ConversationEnd how);
  std::shared_ptr<Conversation> TakeConversation();
  void ReapFinished();
  void JoinConnectThread();

  void PlaySound();
  void SoundLoop();
  void StopSound();

  Reporter& reporter_;
  std::atomic<bool> audio_{true};

  mutable std::mutex lock_;  // guards everything below up to the threads
  SessionState state_ = SessionState::kIdle;
  SessionSnapshot snapshot_;
  std::string host_address_;                      // shown to partners, or the host we called
  std::vector<std::string> host_ipv6_addresses_;  // shown to partners too
  bool dual_stack_ = false;                       // the listener takes IPv6 callers
  NameResolver resolver_ = SystemResolve;
  PartnerAddressSource partner_addresses_ = PartnerAddressesOfThisHost;
  std::string start_time_;
  int port_ = 0;  // listened on, or called
  std::shared_ptr<Conversation> conversation_;
  std::shared_ptr<Conversation> finished_;  // ended by itself, not yet joined
  uint64_t conversations_started_ = 0;
  uint64_t conversations_ended_ = 0;
  ConversationEnd last_end_ = ConversationEnd::kSignedOff;
  std::string greeting_;  // listener thread only
  // The guessing brake (hosting): failed key checks so far, the delay the
  // next sign-on waits (zero: none), counted from the last failure.
  uint64_t failed_checks_ = 0;
  std::chrono::milliseconds brake_{0};
  std::chrono::steady_clock::time_point brake_from_;

  int listen_fd_ = -1;
  std::thread listener_;
  WakeEvent listener_wake_;
  std::atomic<bool> listener_quiet_{false};

  std::thread connector_;
  WakeEvent connect_wake_;
  std::atomic<bool> connect_quiet_{false};
  bool connected_ = false;  // the last connect's outcome

  std::thread sound_;
  std::mutex sound_lock_;
  std::condition_variable sound_changed_;
  bool sound_wanted_ = false;
  bool sound_stop_ = false;

  std::mutex report_gate_;  // a worker's line and its stop never cross
};

#endif  // QUILLO_CORE_CHAT_SESSION_H
