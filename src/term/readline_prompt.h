#ifndef QUILLO_TERM_READLINE_PROMPT_H
#define QUILLO_TERM_READLINE_PROMPT_H

#include <functional>
#include <string>

// The input line at the bottom of the terminal, edited with history
// through GNU readline's callback interface, so the program's own poll
// loop decides when a key is read. Text printed while a line is being
// typed goes above the prompt, and the prompt and the typed text are drawn
// again below it.
//
// readline keeps one input line for the whole process, so at most one
// ReadlinePrompt may be started at a time. Main thread only.
class ReadlinePrompt {
 public:
  // Called with each finished line; with no line (nullptr) when the input
  // ends (Ctrl-D on an empty line).
  using LineHandler = std::function<void(const char* line)>;

  ReadlinePrompt() = default;
  ~ReadlinePrompt();
  ReadlinePrompt(const ReadlinePrompt&) = delete;
  ReadlinePrompt& operator=(const ReadlinePrompt&) = delete;

  // Shows the prompt and takes over the terminal's line discipline. The
  // program keeps its own signal handling (readline installs none).
  bool Start(const std::string& prompt, LineHandler handler);
  // A different prompt, shown at once.
  void SetPrompt(const std::string& prompt);
  // Standard input is readable: lets readline take what is there.
  void ReadInput();
  // Text (whole lines) shown above the prompt.
  void PrintAbove(const std::string& text);
  // The terminal's size changed.
  void Resize();
  // Removes the prompt (and the line being typed) from the screen and
  // gives the terminal back as it was found.
  // Idempotent.
  void Stop();
  bool Active() const { return active_; }

 private:
  static void OnLine(char* line);

  LineHandler handler_;
  std::string prompt_;
  bool active_ = false;
  bool in_handler_ = false;
};

#endif  // QUILLO_TERM_READLINE_PROMPT_H
