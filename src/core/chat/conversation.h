#ifndef QUILLO_CORE_CHAT_CONVERSATION_H
#define QUILLO_CORE_CHAT_CONVERSATION_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/chat/cipher_table.h"
#include "core/chat/message_reader.h"
#include "core/chat/message_sender.h"
#include "core/crypto/private_channel.h"
#include "core/thread/wake_event.h"

class Reporter;

// How a conversation ended by itself.
enum class ConversationEnd {
  kSignedOff,  // the partner signed off
  kBusy,       // the host said its line is busy
  kBroken,     // the connection failed, the partner broke the protocol, or
               // the private session failed (other key, a changed message)
};

// What a conversation needs from its session, fixed when it starts.
struct ConversationSetup {
  std::string own_name;      // our screen name, on every header we send
  std::string peer_name;     // shown in the lines about the partner
  std::string peer_address;  // the partner's address as text
  uint16_t key = 0;          // the cipher key of the session
  long body_timeout_ms = 60000;
  // Asked on the receiver thread before each activity sound.
  std::function<bool()> audio_enabled;
  // Asks the session to play the activity sound; returns at once.
  std::function<void()> play_sound;
  // Runs once on the receiver thread, given the conversation, when it ended
  // by itself (the partner left, the line broke); not after Stop().
  std::function<void(const class Conversation*, ConversationEnd)> ended;
  // Runs on the receiver thread, given the conversation, for every outcome
  // of the private-session negotiation (ChannelEvent) before it is shown.
  std::function<void(const class Conversation*, ChannelEvent)> privacy;
};

// One partner on the line: a receiver thread that reads and shows the
// partner's messages, and a MessageSender that writes ours. Every message
// after the greeting passes through the PrivateChannel, which decides
// between a private session and the basic cipher; the lines the user sends
// go through it too (SendLine).
//
// Ownership: owns the connection descriptor (closed by the destructor,
// after both threads are joined, so its number is never reused under a
// call), the wake event, both threads and the channel. Thread rules: Start,
// Stop and the destructor on the owning (session) thread; SendLine,
// Enqueue, WaitWritten and Privacy from any thread. The receiver ends the
// sender before it returns, so joining the receiver joins both. The channel
// is used under channel_lock_ only, by the receiver and by SendLine; what a
// channel call hands back is queued on the sender under the same lock, so
// sealed lines leave in the order they were sealed. The lock is never held
// while waiting on the network or reporting.
//
// Ending: by itself (sign-off, a broken line), the receiver reports why,
// signs off where that still makes sense, shuts the connection down so the
// partner sees the end at once, and calls setup.ended. By Stop(), the
// owner's End or Close: the receiver is woken and reports nothing, the
// sign-off is queued behind what is still waiting and given a moment to
// leave, then both threads are joined.
class Conversation {
 public:
  // channel: this side's private-session state, whose offer (if any) went
  // out with the sign-on or the greeting; it must not be null.
  Conversation(Reporter& reporter, ConversationSetup setup, int fd,
               std::unique_ptr<PrivateChannel> channel);
  ~Conversation();
  Conversation(const Conversation&) = delete;
  Conversation& operator=(const Conversation&) = delete;

  bool Start();
  // See MessageSender::Enqueue. Bytes go out as they are.
  uint64_t Enqueue(std::string bytes);

  enum class SendResult { kQueued, kNoMemory, kClosed };
  // One line the user typed (no final line end): sealed in a private
  // session, enciphered with the basic cipher otherwise, held while the
  // negotiation is open. kClosed: the connection is ending.
  SendResult SendLine(const std::string& line);
  // The channel's state as last seen (kNegotiating until it is known).
  ChannelState Privacy() const { return privacy_.load(); }
  // Waits until the negotiation is over, so no line is held any more
  // (true), or timeout_ms passed (false).
  bool WaitSettled(long timeout_ms);
  bool WaitWritten(uint64_t seq, long timeout_ms);
  uint64_t Written() const { return sender_.Written(); }
  uint64_t Queued() const { return sender_.Queued(); }

  // Signs off and stops; returns when both threads are joined. Idempotent.
  void Stop();

  const std::string& PeerName() const { return setup_.peer_name; }
  const std::string& PeerAddress() const { return setup_.peer_address; }

  // The receive loop on the calling thread, for the receiver thread and for
  // the fuzzer (which has no sender running).
  void ReceiveLoop();

  // The status bar's privacy field while a conversation is up.
  static constexpr const char* kPrivateStatus = "Private session";
  static constexpr const char* kBasicStatus = "Basic cipher (not private)";

  // How long queued messages may take to leave when a conversation ends.
  static constexpr long kDrainMilliseconds = 250;

 private:
  // Passes one message through the channel; false when the conversation
  // is over.
  bool Receive(const WireMessage& message);
  // Ends a wait the channel set; false when the conversation is over.
  bool Tick();
  // Runs one call of the channel under channel_lock_, then queues what it
  // writes, takes the new state and shows a closing reason, still locked.
  template <typename Call>
  ChannelStep Step(Call call);
  // Takes the channel's state after a call; channel_lock_ held.
  void NoteState();
  // Queues what a channel step writes, moving its bytes out; channel_lock_
  // held.
  SendResult Transmit(ChannelStep* step);
  // Shows what a channel step found, from the receiver; false when the
  // conversation is over.
  bool Present(const ChannelStep& step, const std::string& sender);
  // Handles one message as the original protocol does; false when the
  // conversation is over.
  bool Dispatch(const WireMessage& message);
  void ShowLine(const WireMessage& message);
  void ShowText(const std::string& sender, const std::string& text);
  std::string EventText(ChannelEvent event) const;
  void Sound();
  // drain: what is queued gets kDrainMilliseconds to leave (always with
  // sign_off).
  void EndByItself(bool sign_off, ConversationEnd how, bool drain = false);
  // Under the channel lock: the reason of a step that closes the channel.
  void ReportClosing(const ChannelStep& step);
  // Ends the connection without a reset, waiting until deadline at most.
  void CloseGracefully(PollClock::time_point deadline);
  void Report(const std::string& text);

  Reporter& reporter_;
  const ConversationSetup setup_;
  // The basic cipher of setup_.key, built once: a line is enciphered and
  // deciphered through it instead of a table built (and searched) per line.
  // Immutable, so the sending and the receiving thread share it.
  const std::unique_ptr<const Cipher> cipher_;
  const int fd_;
  WakeEvent wake_;
  MessageSender sender_;
  mutable std::mutex channel_lock_;
  const std::unique_ptr<PrivateChannel> channel_;  // guarded by channel_lock_
  std::atomic<ChannelState> privacy_{ChannelState::kNegotiating};
  std::mutex settle_lock_;  // taken inside channel_lock_, never around it
  std::condition_variable settled_;
  std::thread receiver_;
  std::atomic<bool> stopping_{false};
  bool started_ = false;
};

#endif  // QUILLO_CORE_CHAT_CONVERSATION_H
