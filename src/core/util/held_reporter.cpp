#include "core/util/held_reporter.h"

void HeldReporter::Hold(Kind kind, const std::string& text) {
  std::lock_guard<std::mutex> guard(lock_);
  held_.push_back({kind, text, {}, {}});
}

void HeldReporter::ProgramMessage(const std::string& first, const std::string& second,
                                  const std::string& third) {
  std::lock_guard<std::mutex> guard(lock_);
  held_.push_back({Kind::kMessage, first, second, third});
}

bool HeldReporter::ReplayTo(Reporter& target) {
  std::vector<Report> reports;
  {
    std::lock_guard<std::mutex> guard(lock_);
    reports.swap(held_);
  }
  // Outside the lock: a program message waits for the user.
  bool events = false;
  for (const Report& report : reports) {
    switch (report.kind) {
      case Kind::kConversation:
        target.ConversationLine(report.first);
        break;
      case Kind::kEvent:
        target.EventLine(report.first);
        events = true;
        break;
      case Kind::kStatus:
        target.StatusText(report.first);
        break;
      case Kind::kMessage:
        target.ProgramMessage(report.first, report.second, report.third);
        break;
    }
  }
  return events;
}
