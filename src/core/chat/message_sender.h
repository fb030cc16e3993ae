#ifndef QUILLO_CORE_CHAT_MESSAGE_SENDER_H
#define QUILLO_CORE_CHAT_MESSAGE_SENDER_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "core/net/poll_wait.h"
#include "core/thread/wake_event.h"

// The one writer of a conversation's connection. Callers queue byte strings
// (one or more whole messages each) and return at once; the sender thread
// writes each string whole and in queue order, so no other write can fall
// between a header and its body, and a partner that stops reading blocks
// only this thread, never the caller. When nothing is queued or being
// written, Enqueue first offers the string to the connection itself without
// waiting (a thread hand-off costs more than the network on a short line);
// whatever the connection does not take at once is queued for the thread.
//
// Ownership: borrows the connection descriptor (the conversation owns it);
// owns its thread and wake event. Thread rules: Enqueue, Written and
// WaitWritten from any thread; Start and Finish from the owner only, Finish
// exactly once per Start (the destructor calls it if the owner did not).
class MessageSender {
 public:
  explicit MessageSender(int fd);
  ~MessageSender();
  MessageSender(const MessageSender&) = delete;
  MessageSender& operator=(const MessageSender&) = delete;

  // on_failure runs once on the sender thread when a write fails.
  bool Start(std::function<void()> on_failure);

  // Queues bytes; returns their sequence number (1, 2, ...), or 0 once the
  // sender is finishing or has failed (nothing was queued).
  uint64_t Enqueue(std::string bytes);

  // Sequence number of the last string queued.
  uint64_t Queued() const;
  // Sequence number of the last string written completely.
  uint64_t Written() const;
  // Waits until string seq has been written (true), the sender failed or
  // finished without it, or timeout_ms passed (false).
  bool WaitWritten(uint64_t seq, long timeout_ms);

  // Accepts nothing more, writes what is queued while the connection takes
  // it, waiting at most drain_ms for a partner that does not read, then
  // stops the thread and joins it.
  void Finish(long drain_ms);

 private:
  void Run();
  // Waits for the next string; false when the thread must stop.
  bool Take(std::string* bytes);
  // Enqueue's attempt to write on the caller's thread (lock_ held): the
  // bytes the connection did not take, all of them when it could not be
  // tried.
  std::string WriteNow(std::string bytes);

  int fd_;
  WakeEvent wake_;
  std::function<void()> on_failure_;
  std::thread thread_;

  mutable std::mutex lock_;
  std::condition_variable work_;     // the thread: something queued, or Finish
  std::condition_variable changed_;  // WaitWritten: written_, failed_ or stopped_ moved
  std::deque<std::string> queue_;
  uint64_t queued_ = 0;
  uint64_t written_ = 0;
  bool finishing_ = false;
  bool failed_ = false;
  bool stopped_ = false;  // the thread has left Run
  bool writing_ = false;  // the thread holds a string it has not finished
  bool running_ = false;  // Start has started the thread
  PollClock::time_point drain_deadline_ = PollClock::time_point::max();
};

#endif  // QUILLO_CORE_CHAT_MESSAGE_SENDER_H
