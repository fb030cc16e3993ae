#include "gui/frame/gui_reporter.h"

#include <wx/app.h>

#include "gui/frame/activity_sound.h"

std::shared_ptr<GuiReporter> GuiReporter::Create(Sinks sinks, std::string audio_file) {
  return std::shared_ptr<GuiReporter>(new GuiReporter(std::move(sinks), std::move(audio_file)));
}

GuiReporter::GuiReporter(Sinks sinks, std::string audio_file)
    : sinks_(std::move(sinks)), audio_file_(std::move(audio_file)) {}

void GuiReporter::ConversationLine(const std::string& text) { Post(Target::kConversation, text); }

void GuiReporter::EventLine(const std::string& text) { Post(Target::kEvent, text); }

void GuiReporter::StatusText(const std::string& text) { Post(Target::kStatus, text); }

void GuiReporter::PrivacyStatus(const std::string& text) { Post(Target::kPrivacy, text); }

void GuiReporter::ProgramMessage(const std::string& first, const std::string& second,
                                 const std::string& third) {
  // Lines reported before the box belong above it.
  Flush();
  if (sinks_.message && !closed_) sinks_.message(first, second, third);
}

void GuiReporter::PlayActivitySound() { ::PlayActivitySound(audio_file_); }

bool GuiReporter::MainFrameMinimised() { return minimised_; }

void GuiReporter::ChatLineArrived(const std::string& sender, const std::string& line) {
  Post(Target::kArrival, line, sender);
}

void GuiReporter::Close() {
  std::lock_guard<std::mutex> hold(lock_);
  closed_ = true;
  queue_.clear();
}

void GuiReporter::Flush() {
  std::vector<Item> items;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (closed_) return;
    items.swap(queue_);
  }
  Deliver(std::move(items));
}

void GuiReporter::Post(Target target, const std::string& text, const std::string& sender) {
  std::lock_guard<std::mutex> hold(lock_);
  if (closed_) return;
  const bool joins = target == Target::kConversation || target == Target::kEvent;
  if (joins && !queue_.empty() && queue_.back().target == target) {
    queue_.back().text += text;
  } else {
    queue_.push_back({target, text, sender});
  }
  if (scheduled_ || !wxTheApp) return;
  scheduled_ = true;
  std::shared_ptr<GuiReporter> self = shared_from_this();
  wxTheApp->CallAfter([self] {
    std::vector<Item> items;
    {
      std::lock_guard<std::mutex> hold(self->lock_);
      self->scheduled_ = false;
      if (self->closed_) return;
      items.swap(self->queue_);
    }
    self->Deliver(std::move(items));
  });
}

void GuiReporter::Deliver(std::vector<Item> items) {
  for (const Item& item : items) {
    if (item.target == Target::kArrival) {
      if (sinks_.arrival) sinks_.arrival(item.sender, item.text);
      continue;
    }
    const auto& sink = item.target == Target::kConversation ? sinks_.conversation
                       : item.target == Target::kEvent      ? sinks_.event
                       : item.target == Target::kStatus     ? sinks_.status
                                                            : sinks_.privacy;
    if (sink) sink(item.text);
  }
}
