#include "term/readline_prompt.h"

#include <readline/history.h>
#include <readline/readline.h>

#include <cstdio>
#include <cstdlib>

namespace {

// readline's line handler is a plain function: this is how it finds the
// started prompt. Set only between Start and Stop.
ReadlinePrompt* started_prompt = nullptr;

void WriteOut(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

ReadlinePrompt::~ReadlinePrompt() { Stop(); }

bool ReadlinePrompt::Start(const std::string& prompt, LineHandler handler) {
  if (started_prompt != nullptr) return false;
  started_prompt = this;
  handler_ = std::move(handler);
  prompt_ = prompt;
  // Signals reach the program's own handlers; readline is told about a new
  // window size by Resize.
  rl_catch_signals = 0;
  rl_catch_sigwinch = 0;
  rl_readline_name = "quillo-term";
  rl_callback_handler_install(prompt_.c_str(), &ReadlinePrompt::OnLine);
  active_ = true;
  return true;
}

void ReadlinePrompt::SetPrompt(const std::string& prompt) {
  prompt_ = prompt;
  if (!active_) return;
  rl_set_prompt(prompt_.c_str());
  // Inside the line handler readline shows the prompt itself, on a fresh
  // line, once the handler returns.
  if (!in_handler_) rl_forced_update_display();
}

void ReadlinePrompt::ReadInput() {
  if (active_) rl_callback_read_char();
}

void ReadlinePrompt::PrintAbove(const std::string& text) {
  if (text.empty()) return;
  if (!active_) {
    WriteOut(text);
    return;
  }
  // The prompt and what has been typed are wiped, the text takes their
  // place, and readline draws them again on the line below.
  rl_clear_visible_line();
  WriteOut(text.back() == '\n' ? text : text + "\n");
  rl_forced_update_display();
}

void ReadlinePrompt::Resize() {
  if (active_) rl_resize_terminal();
}

void ReadlinePrompt::Stop() {
  if (!active_) return;
  active_ = false;
  // The prompt goes from the screen; the cursor stays at the start of its
  // line for whatever is printed next.
  rl_clear_visible_line();
  rl_callback_handler_remove();
  // The line discipline readline set up goes back to what it found.
  rl_deprep_terminal();
  started_prompt = nullptr;
}

void ReadlinePrompt::OnLine(char* line) {
  ReadlinePrompt* prompt = started_prompt;
  if (line != nullptr && *line != '\0') add_history(line);
  if (prompt != nullptr && prompt->handler_) {
    prompt->in_handler_ = true;
    prompt->handler_(line);
    // The handler may have stopped the prompt; readline's state is global.
    if (started_prompt == prompt) prompt->in_handler_ = false;
  }
  std::free(line);
}
