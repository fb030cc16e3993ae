#ifndef QUILLO_CORE_CHAT_CONVERSATION_H
#define QUILLO_CORE_CHAT_CONVERSATION_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "core/chat/message_reader.h"
#include "core/chat/message_sender.h"
#include "core/thread/wake_event.h"

class Reporter;

// How a conversation ended by itself.
enum class ConversationEnd {
  kSignedOff,  // the partner signed off
  kBusy,       // the host said its line is busy
  kBroken,     // the connection failed or the partner broke the protocol
};

// What a conversation needs from its session, fixed when it starts.
struct ConversationSetup {
  std::string own_name;   // our screen name, on every header we send
  std::string peer_name;  // shown in the lines about the partner
  uint16_t key = 0;       // the cipher key of the session
  long body_timeout_ms = 60000;
  // Asked on the receiver thread before each activity sound.
  std::function<bool()> audio_enabled;
  // Asks the session to play the activity sound; returns at once.
  std::function<void()> play_sound;
  // Runs once on the receiver thread, given the conversation, when it ended
  // by itself (the partner left, the line broke); not after Stop().
  std::function<void(const class Conversation*, ConversationEnd)> ended;
};

// One partner on the line: a receiver thread that reads and shows the
// partner's messages, and a MessageSender that writes ours.
//
// Ownership: owns the connection descriptor (closed by the destructor,
// after both threads are joined, so its number is never reused under a
// call), the wake event and both threads. Thread rules: Start, Stop and the
// destructor on the owning (session) thread; Enqueue and WaitWritten from
// any thread. The receiver ends the sender before it returns, so joining
// the receiver joins both.
//
// Ending: by itself (sign-off, a broken line), the receiver reports why,
// signs off where that still makes sense, shuts the connection down so the
// partner sees the end at once, and calls setup.ended. By Stop(), the
// owner's End or Close: the receiver is woken and reports nothing, the
// sign-off is queued behind what is still waiting and given a moment to
// leave, then both threads are joined.
class Conversation {
 public:
  Conversation(Reporter& reporter, ConversationSetup setup, int fd);
  ~Conversation();
  Conversation(const Conversation&) = delete;
  Conversation& operator=(const Conversation&) = delete;

  bool Start();
  // See MessageSender::Enqueue.
  uint64_t Enqueue(std::string bytes);
  bool WaitWritten(uint64_t seq, long timeout_ms);
  uint64_t Written() const { return sender_.Written(); }
  uint64_t Queued() const { return sender_.Queued(); }

  // Signs off and stops; returns when both threads are joined. Idempotent.
  void Stop();

  const std::string& PeerName() const { return setup_.peer_name; }

  // The receive loop on the calling thread, for the receiver thread and for
  // the fuzzer (which has no sender running).
  void ReceiveLoop();

  // How long queued messages may take to leave when a conversation ends.
  static constexpr long kDrainMilliseconds = 250;

 private:
  // Handles one message; false when the conversation is over.
  bool Dispatch(const WireMessage& message);
  void ShowLine(const WireMessage& message);
  void Sound();
  void EndByItself(bool sign_off, ConversationEnd how);
  void Report(const std::string& text);

  Reporter& reporter_;
  const ConversationSetup setup_;
  const int fd_;
  WakeEvent wake_;
  MessageSender sender_;
  std::thread receiver_;
  std::atomic<bool> stopping_{false};
  bool started_ = false;
};

#endif  // QUILLO_CORE_CHAT_CONVERSATION_H
