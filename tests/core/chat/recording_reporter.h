#ifndef QUILLO_TESTS_CHAT_RECORDING_REPORTER_H
#define QUILLO_TESTS_CHAT_RECORDING_REPORTER_H

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "core/util/reporter.h"

// A Reporter for tests: keeps everything in order, from any thread, and
// lets the test wait (with a limit) for text to appear.
class RecordingReporter : public Reporter {
 public:
  void ConversationLine(const std::string& text) override {
    Add(&conversation_, text, "conversation:" + text);
  }
  void EventLine(const std::string& text) override { Add(&events_, text, text); }
  void StatusText(const std::string& text) override {
    Add(&status_, text + "\n", "status:" + text);
  }
  void ProgramMessage(const std::string& first, const std::string& second,
                      const std::string& third) override {
    Add(&messages_, first + second + third, "message:" + first + second + third);
  }
  void PlayActivitySound() override { Add(&sounds_, "*", "sound"); }
  // Kept apart from Lines(), as are the two below: "text\n" each.
  void PrivacyStatus(const std::string& text) override { Add(&privacy_, text + "\n"); }
  // "sender:line\n" each.
  void ChatLineArrived(const std::string& sender, const std::string& line) override {
    Add(&arrivals_, sender + ":" + line + "\n");
  }
  bool MainFrameMinimised() override {
    const bool minimised = minimised_;
    Add(&queries_, "?");
    return minimised;
  }

  // Every report but the minimised queries, in arrival order.
  std::vector<std::string> Lines() const { return Get(lines_); }
  std::string Conversation() const { return Get(conversation_); }
  std::string Events() const { return Get(events_); }
  std::string Status() const { return Get(status_); }
  std::string Messages() const { return Get(messages_); }
  std::string Arrivals() const { return Get(arrivals_); }
  std::string Privacy() const { return Get(privacy_); }
  size_t Sounds() const { return Get(sounds_).size(); }
  void SetMinimised(bool minimised) { minimised_ = minimised; }

  // Each waits until its record holds text `count` times; false when the
  // limit passed first.
  bool WaitForConversation(const std::string& text, int count = 1) {
    return WaitFor(conversation_, text, count);
  }
  bool WaitForArrivals(const std::string& text) { return WaitFor(arrivals_, text, 1); }
  // The minimised state asked, and sounds played, count times.
  bool WaitForQueries(int count) { return WaitFor(queries_, "?", count); }
  bool WaitForSounds(int count) { return WaitFor(sounds_, "*", count); }

  static int Count(const std::string& haystack, const std::string& needle) {
    int n = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size())) {
      ++n;
    }
    return n;
  }

 private:
  // Appends text to its record and, unless line is left out, line to Lines().
  void Add(std::string* to, const std::string& text, const std::string& line = "\x01") {
    std::lock_guard<std::mutex> guard(lock_);
    to->append(text);
    if (line != "\x01") lines_.push_back(line);
    changed_.notify_all();
  }
  template <typename T>
  T Get(const T& from) const {
    std::lock_guard<std::mutex> guard(lock_);
    return from;
  }
  bool WaitFor(const std::string& in, const std::string& text, int count) {
    std::unique_lock<std::mutex> guard(lock_);
    return changed_.wait_for(guard, std::chrono::seconds(10),
                             [&] { return Count(in, text) >= count; });
  }

  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::string conversation_, events_, status_, messages_, sounds_, queries_, arrivals_, privacy_;
  std::vector<std::string> lines_;
  std::atomic<bool> minimised_{false};
};

#endif  // QUILLO_TESTS_CHAT_RECORDING_REPORTER_H
