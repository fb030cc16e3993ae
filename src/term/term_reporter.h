#ifndef QUILLO_TERM_TERM_REPORTER_H
#define QUILLO_TERM_TERM_REPORTER_H

#include <mutex>
#include <string>

#include "core/util/reporter.h"

// Where the terminal program's text goes. Implementations are called from
// any thread and keep the order of the calls.
class TermOutput {
 public:
  enum class Stream {
    kConversation,  // what the desktop program shows in its conversation window
    kNotice,        // event-window lines and message boxes
  };
  virtual ~TermOutput() = default;
  virtual void Write(Stream stream, const std::string& text) = 0;
  // The activity sound's stand-in.
  virtual void Bell() {}
};

// The Reporter of quillo-term: conversation text is shown with each
// message on the sender's line ("Ann Says> text", further lines indented
// under the text) and kept as the desktop program keeps it, for /save;
// event lines and message boxes become notices. Text from the partner is
// made harmless for the terminal first (control characters shown as ^X).
// Callable from any thread; the output must outlive it.
class TermReporter : public Reporter {
 public:
  explicit TermReporter(TermOutput& output) : output_(output) {}

  void ConversationLine(const std::string& text) override;
  void EventLine(const std::string& text) override;
  void StatusText(const std::string& text) override;
  void ProgramMessage(const std::string& first, const std::string& second,
                      const std::string& third) override;
  void PlayActivitySound() override;
  bool MainFrameMinimised() override { return false; }

  // The conversation as the desktop program's window would hold it.
  std::string Transcript() const;

 private:
  TermOutput& output_;
  mutable std::mutex lock_;  // guards transcript_
  std::string transcript_;
};

// One piece of conversation text as the terminal shows it: a message
// ("NAME Says>\nTEXT\n\n") on one line per text line, others unchanged.
std::string FormatConversation(const std::string& text);

// Control characters (but line ends and tabs) as ^X, C1 controls as '?',
// "\r\n" as "\n", so a partner cannot move the cursor or retitle the
// terminal.
std::string SanitizeForTerminal(const std::string& text);

#endif  // QUILLO_TERM_TERM_REPORTER_H
