#include "core/chat/message_sender.h"

#include <sys/socket.h>

#include <system_error>

MessageSender::MessageSender(int fd) : fd_(fd) {}

MessageSender::~MessageSender() { Finish(0); }

bool MessageSender::Start(std::function<void()> on_failure) {
  if (!wake_.Valid()) return false;
  on_failure_ = std::move(on_failure);
  try {
    thread_ = std::thread(&MessageSender::Run, this);
  } catch (const std::system_error&) {
    return false;
  }
  std::lock_guard<std::mutex> hold(lock_);
  running_ = true;
  return true;
}

uint64_t MessageSender::Enqueue(std::string bytes) {
  std::lock_guard<std::mutex> hold(lock_);
  if (finishing_ || failed_) return 0;
  ++queued_;
  std::string rest = WriteNow(std::move(bytes));
  if (rest.empty()) {
    ++written_;
    changed_.notify_all();
  } else {
    queue_.push_back(std::move(rest));
    // Only now is there work: waking the thread for a string already
    // written would cost a context switch a line.
    work_.notify_one();
  }
  return queued_;
}

std::string MessageSender::WriteNow(std::string bytes) {
  // Only with nothing ahead of it, or the order would break; and only
  // while the thread runs, which is who reports a failed connection.
  if (writing_ || !queue_.empty() || !running_ || bytes.empty()) return bytes;
  const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
  if (n > 0) bytes.erase(0, static_cast<size_t>(n));
  return bytes;
}

uint64_t MessageSender::Queued() const {
  std::lock_guard<std::mutex> hold(lock_);
  return queued_;
}

uint64_t MessageSender::Written() const {
  std::lock_guard<std::mutex> hold(lock_);
  return written_;
}

bool MessageSender::WaitWritten(uint64_t seq, long timeout_ms) {
  std::unique_lock<std::mutex> hold(lock_);
  changed_.wait_for(hold, std::chrono::milliseconds(timeout_ms),
                    [&] { return written_ >= seq || failed_ || stopped_; });
  return written_ >= seq;
}

void MessageSender::Finish(long drain_ms) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!finishing_) {
      finishing_ = true;
      drain_deadline_ = DeadlineIn(drain_ms);
    }
    work_.notify_all();
    changed_.notify_all();
  }
  // A write in progress rereads the deadline.
  wake_.Signal();
  if (thread_.joinable()) thread_.join();
}

bool MessageSender::Take(std::string* bytes) {
  std::unique_lock<std::mutex> hold(lock_);
  work_.wait(hold, [&] { return !queue_.empty() || finishing_; });
  // Past the drain deadline a message is still taken: the deadline bounds
  // only waiting for a partner that does not read, never the time this
  // thread took to be scheduled, so a sign-off leaves even on a busy machine.
  if (queue_.empty() || failed_) return false;
  *bytes = std::move(queue_.front());
  queue_.pop_front();
  writing_ = true;
  return true;
}

void MessageSender::Run() {
  std::string bytes;
  while (Take(&bytes)) {
    size_t sent = 0;
    WriteResult result;
    for (;;) {
      PollClock::time_point deadline;
      {
        std::lock_guard<std::mutex> hold(lock_);
        deadline = drain_deadline_;
      }
      result = WriteFrom(fd_, bytes, &sent, wake_.Fd(), deadline);
      if (result != WriteResult::kWoken) break;
      // Finish was called: go on under its deadline.
      wake_.Reset();
    }
    std::lock_guard<std::mutex> hold(lock_);
    writing_ = false;
    if (result != WriteResult::kDone) {
      failed_ = true;
      queue_.clear();
      changed_.notify_all();
      break;
    }
    ++written_;
    changed_.notify_all();
  }
  bool report;
  {
    std::lock_guard<std::mutex> hold(lock_);
    report = failed_ && !finishing_;
    stopped_ = true;
    changed_.notify_all();
  }
  if (report && on_failure_) on_failure_();
}
