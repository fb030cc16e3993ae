#ifndef QUILLO_GUI_FRAME_GUI_REPORTER_H
#define QUILLO_GUI_FRAME_GUI_REPORTER_H

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/util/reporter.h"

// The Reporter of the GUI. Any thread may call it; every line is queued in
// the order of the calls and handed to the GUI thread, where the queue is
// drained once per event-loop turn: runs of lines for the same window are
// joined into one append, so a flood of lines costs one append per turn and
// the window stays responsive. After Close() (the main frame has started to
// close) nothing more reaches a window.
//
// Ownership: create with Create(); the pending GUI-thread call keeps the
// object alive, so the sinks must stay valid until Close() is called.
class GuiReporter : public Reporter, public std::enable_shared_from_this<GuiReporter> {
 public:
  // Where the drained lines go, on the GUI thread. Any may be empty.
  struct Sinks {
    std::function<void(const std::string&)> conversation;
    std::function<void(const std::string&)> event;
    std::function<void(const std::string&)> status;
    // Shows the three pieces in a modal box (GUI thread only).
    std::function<void(const std::string&, const std::string&, const std::string&)> message;
    // A line from the peer: sender and text (after its conversation text).
    std::function<void(const std::string&, const std::string&)> arrival;
    // The status bar's privacy field.
    std::function<void(const std::string&)> privacy;
  };

  static std::shared_ptr<GuiReporter> Create(Sinks sinks, std::string audio_file);

  void ConversationLine(const std::string& text) override;
  void EventLine(const std::string& text) override;
  void StatusText(const std::string& text) override;
  void PrivacyStatus(const std::string& text) override;
  void ProgramMessage(const std::string& first, const std::string& second,
                      const std::string& third) override;
  void PlayActivitySound() override;
  bool MainFrameMinimised() override;
  void ChatLineArrived(const std::string& sender, const std::string& line) override;

  // Kept up to date by the main frame on the GUI thread.
  void SetMinimised(bool minimised) { minimised_ = minimised; }
  // Drops every line not yet shown and every later one. GUI thread.
  void Close();
  // Shows every queued line now (GUI thread); the scheduled drain then
  // finds nothing.
  void Flush();

 private:
  enum class Target { kConversation, kEvent, kStatus, kArrival, kPrivacy };
  struct Item {
    Target target;
    std::string text;
    std::string sender;  // kArrival only
  };

  GuiReporter(Sinks sinks, std::string audio_file);
  void Post(Target target, const std::string& text, const std::string& sender = std::string());
  void Deliver(std::vector<Item> items);

  Sinks sinks_;
  const std::string audio_file_;
  std::atomic<bool> minimised_{false};
  std::mutex lock_;  // guards queue_, scheduled_, closed_
  std::vector<Item> queue_;
  bool scheduled_ = false;
  bool closed_ = false;
};

#endif  // QUILLO_GUI_FRAME_GUI_REPORTER_H
