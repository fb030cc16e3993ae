#include "core/thread/gated_reporter.h"

#include "core/thread/commit_scope.h"
#include "core/thread/thread.h"

void GatedReporter::ConversationLine(const std::string& text) {
  CommitScope commit(thread_);
  if (commit.Open()) target_.ConversationLine(text);
}

void GatedReporter::EventLine(const std::string& text) {
  CommitScope commit(thread_);
  if (commit.Open()) target_.EventLine(text);
}

void GatedReporter::StatusText(const std::string& text) {
  CommitScope commit(thread_);
  if (commit.Open()) target_.StatusText(text);
}

void GatedReporter::ProgramMessage(const std::string& first, const std::string& second,
                                   const std::string& third) {
  CommitScope commit(thread_);
  if (commit.Open()) target_.ProgramMessage(first, second, third);
}

void GatedReporter::ChatLineArrived(const std::string& sender, const std::string& line) {
  CommitScope commit(thread_);
  if (commit.Open()) target_.ChatLineArrived(sender, line);
}

void GatedReporter::PlayActivitySound() {
  if (thread_ != nullptr && thread_->IsCanceled()) return;
  target_.PlayActivitySound();
}

bool GatedReporter::MainFrameMinimised() {
  if (thread_ != nullptr && thread_->IsCanceled()) return false;
  return target_.MainFrameMinimised();
}
