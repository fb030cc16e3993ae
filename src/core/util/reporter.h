#ifndef QUILLO_CORE_UTIL_REPORTER_H
#define QUILLO_CORE_UTIL_REPORTER_H

#include <string>

// How the engine (worker threads and the GUI-less code on the GUI thread)
// tells the user what happens. The GUI implements it by handing every call
// to the GUI thread in the order it was made; tests implement it with a
// vector. Implementations must be callable from any thread.
class Reporter {
 public:
  virtual ~Reporter() = default;

  // Text appended as it stands to the conversation window (callers include
  // the line ends they want).
  virtual void ConversationLine(const std::string& text) = 0;
  // Text appended as it stands to the event window.
  virtual void EventLine(const std::string& text) = 0;
  // The main frame's status-bar text.
  virtual void StatusText(const std::string& text) = 0;
  // The status bar's privacy field: how the conversation on the line is
  // protected; empty when no conversation is up. A program without a
  // status bar ignores it.
  virtual void PrivacyStatus(const std::string& text) { (void)text; }
  // A modal "Program Message" box with the three pieces joined; only ever
  // called on the GUI thread.
  virtual void ProgramMessage(const std::string& first, const std::string& second,
                              const std::string& third) = 0;
  // Plays the activity sound and returns when it has finished.
  virtual void PlayActivitySound() = 0;
  // Whether the main frame is minimised (the activity sound's condition).
  virtual bool MainFrameMinimised() = 0;
  // A line from the peer, after its ConversationLine: who sent it and the
  // text as it arrived (for a desktop notification). Reporters that do not
  // notify ignore it.
  virtual void ChatLineArrived(const std::string& sender, const std::string& line) {
    (void)sender;
    (void)line;
  }
};

#endif  // QUILLO_CORE_UTIL_REPORTER_H
