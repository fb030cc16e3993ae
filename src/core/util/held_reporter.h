#ifndef QUILLO_CORE_UTIL_HELD_REPORTER_H
#define QUILLO_CORE_UTIL_HELD_REPORTER_H

#include <mutex>
#include <string>
#include <vector>

#include "core/util/reporter.h"

// Keeps what is reported before there is anywhere to show it (start-up
// runs before the main window exists) and hands it on, in the order it
// came, once there is. Sounds are dropped: by then the moment has passed;
// nothing is minimised yet.
//
// Any thread may report; ReplayTo runs on the thread the target allows for
// program messages (the GUI thread) and empties the store.
class HeldReporter : public Reporter {
 public:
  void ConversationLine(const std::string& text) override { Hold(Kind::kConversation, text); }
  void EventLine(const std::string& text) override { Hold(Kind::kEvent, text); }
  void StatusText(const std::string& text) override { Hold(Kind::kStatus, text); }
  void ProgramMessage(const std::string& first, const std::string& second,
                      const std::string& third) override;
  void PlayActivitySound() override {}
  bool MainFrameMinimised() override { return false; }

  // true when an event line was among what it handed on (the caller may
  // want the event window shown).
  bool ReplayTo(Reporter& target);

 private:
  enum class Kind { kConversation, kEvent, kStatus, kMessage };
  struct Report {
    Kind kind;
    std::string first, second, third;
  };
  void Hold(Kind kind, const std::string& text);

  std::mutex lock_;  // guards held_
  std::vector<Report> held_;
};

#endif  // QUILLO_CORE_UTIL_HELD_REPORTER_H
