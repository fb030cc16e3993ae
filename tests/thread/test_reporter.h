#ifndef QUILLO_TESTS_THREAD_TEST_REPORTER_H
#define QUILLO_TESTS_THREAD_TEST_REPORTER_H

#include <mutex>
#include <string>
#include <vector>

#include "util/reporter.h"

// Collects every line, from any thread, in the order they arrive.
class TestReporter : public Reporter {
 public:
  void ConversationLine(const std::string& text) override { Add("conversation:" + text); }
  void EventLine(const std::string& text) override { Add(text); }
  void StatusText(const std::string& text) override { Add("status:" + text); }
  void ProgramMessage(const std::string& a, const std::string& b, const std::string& c) override {
    Add("message:" + a + b + c);
  }
  void PlayActivitySound() override { Add("sound"); }
  bool MainFrameMinimised() override { return true; }

  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> guard(mutex_);
    return lines_;
  }
  size_t Count() {
    std::lock_guard<std::mutex> guard(mutex_);
    return lines_.size();
  }

 private:
  void Add(const std::string& line) {
    std::lock_guard<std::mutex> guard(mutex_);
    lines_.push_back(line);
  }
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

#endif  // QUILLO_TESTS_THREAD_TEST_REPORTER_H
