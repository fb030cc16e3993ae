#include "term/interactive_mode.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <mutex>
#include <optional>

#include "core/settings/program_settings.h"
#include "term/command_line.h"
#include "term/exit_status.h"
#include "term/readline_prompt.h"
#include "term/self_pipe.h"
#include "term/signal_watch.h"
#include "term/term_commands.h"
#include "term/term_reporter.h"
#include "term/term_session.h"

namespace {

constexpr char kPrompt[] = "> ";
constexpr char kNamePrompt[] = "Please enter a screen name: ";
// The longest the loop sleeps without a wake-up: the session is looked at
// this often even if no worker reports.
constexpr int kPollMilliseconds = 250;

// Text from any thread, queued for the main thread, which prints it above
// the prompt.
class QueuedOutput : public TermOutput {
 public:
  explicit QueuedOutput(const SelfPipe& wake) : wake_(wake) {}
  void Write(Stream, const std::string& text) override {
    {
      std::lock_guard<std::mutex> guard(lock_);
      queued_ += text;
    }
    wake_.Notify();
  }
  // A lone bell byte cannot disturb the line being typed.
  void Bell() override {
    if (::write(STDOUT_FILENO, "\a", 1) < 0) return;
  }
  std::string Take() {
    std::lock_guard<std::mutex> guard(lock_);
    std::string text;
    text.swap(queued_);
    return text;
  }

 private:
  const SelfPipe& wake_;
  std::mutex lock_;
  std::string queued_;
};

class InteractiveLoop {
 public:
  InteractiveLoop(const TermOptions& options, ProgramSettings& settings)
      : options_(options),
        settings_(settings),
        output_(wake_),
        reporter_(output_),
        session_(settings, reporter_, [this] { wake_.Notify(); }),
        commands_(settings, session_, reporter_, output_) {}

  int Run() {
    if (!wake_.Valid() || !signals_.Valid()) return kExitBroken;
    SignalWatch watch(signals_);
    termios found{};
    const bool have_terminal = ::tcgetattr(STDIN_FILENO, &found) == 0;
    if (options_.name)
      session_.SetScreenName(*options_.name, options_.start == TermOptions::Start::kHost);
    prompt_.Start(kPrompt, [this](const char* line) { OnLine(line); });
    commands_.Notice(settings_.ProgramTitle + " " + settings_.VersionText +
                     " in a terminal. Type /help for the commands.\n");
    if (options_.start == TermOptions::Start::kHost) {
      Ask(PromptCommand{PromptCommand::Kind::kHost, "", options_.port, std::nullopt});
    } else if (options_.start == TermOptions::Start::kConnect) {
      Ask(PromptCommand{PromptCommand::Kind::kConnect, options_.target, std::nullopt,
                        options_.key});
    }
    while (!quit_) Turn();
    prompt_.PrintAbove(output_.Take());
    prompt_.Stop();
    // The sign-off's lines follow the conversation, with no prompt below.
    if (session_.CurrentState() != TermSession::State::kIdle) session_.End();
    session_.Close();
    prompt_.PrintAbove(output_.Take());
    if (have_terminal) ::tcsetattr(STDIN_FILENO, TCSADRAIN, &found);
    return kExitSignedOff;
  }

 private:
  // One pass: wait for input, a report or a signal, then handle it.
  void Turn() {
    pollfd fds[3] = {
        {STDIN_FILENO, POLLIN, 0}, {wake_.ReadFd(), POLLIN, 0}, {signals_.ReadFd(), POLLIN, 0}};
    const int ready = ::poll(fds, 3, kPollMilliseconds);
    if (ready > 0 && fds[2].revents != 0) signals_.Drain([this](unsigned char s) { OnSignal(s); });
    if (ready > 0 && fds[1].revents != 0) wake_.Drain([](unsigned char) {});
    for (TermSession::Happening happening : session_.Poll()) {
      // host --once at a prompt: the first partner's leaving ends the run.
      const bool left = happening == TermSession::Happening::kSignedOff ||
                        happening == TermSession::Happening::kBroken;
      if (left && options_.once) quit_ = true;
    }
    prompt_.PrintAbove(output_.Take());
    if (quit_ || ready <= 0) return;
    if (fds[0].revents & POLLIN) {
      prompt_.ReadInput();
    } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      quit_ = true;  // the terminal went away
    }
    prompt_.PrintAbove(output_.Take());
  }

  void OnSignal(unsigned char number) {
    if (number == SIGWINCH) {
      prompt_.Resize();
    } else {
      quit_ = true;
    }
  }

  void OnLine(const char* line) {
    if (line == nullptr) {
      quit_ = true;  // Ctrl-D
      return;
    }
    if (waiting_for_name_) {
      AnswerName(line);
      return;
    }
    Ask(ParsePromptLine(line));
  }

  void Ask(const PromptCommand& command) {
    using Kind = PromptCommand::Kind;
    const bool opens = command.kind == Kind::kHost || command.kind == Kind::kConnect;
    if (opens && session_.CurrentState() == TermSession::State::kIdle &&
        session_.ScreenNameIsDefault()) {
      // As the desktop program does, the first session asks for a name.
      waiting_for_name_ = command;
      prompt_.SetPrompt(kNamePrompt);
      return;
    }
    Do(command);
  }

  void AnswerName(const std::string& name) {
    const PromptCommand command = *waiting_for_name_;
    waiting_for_name_.reset();
    prompt_.SetPrompt(kPrompt);
    // An empty answer is the dialog's Cancel: the built-in name stays.
    if (!name.empty()) {
      commands_.AnswerScreenNameQuestion(name, command.kind == PromptCommand::Kind::kHost);
    }
    Do(command);
  }

  void Do(const PromptCommand& command) {
    using Kind = PromptCommand::Kind;
    switch (command.kind) {
      case Kind::kNothing:
        break;
      case Kind::kSay:
        session_.Send(command.text);
        break;
      case Kind::kHost:
        commands_.Host(command.port);
        break;
      case Kind::kConnect:
        commands_.Connect(command.text, command.key);
        break;
      case Kind::kEnd:
        session_.End();
        break;
      case Kind::kStats:
        commands_.Stats();
        break;
      case Kind::kSave:
        commands_.Save(command.text);
        break;
      case Kind::kName:
        commands_.Name(command.text);
        break;
      case Kind::kKey:
        commands_.Key(*command.key);
        break;
      case Kind::kHelp:
        commands_.Notice(PromptHelpText());
        break;
      case Kind::kQuit:
        quit_ = true;
        break;
      case Kind::kBad:
        commands_.Notice(command.text + "\n");
        break;
    }
  }

  const TermOptions& options_;
  ProgramSettings& settings_;
  SelfPipe wake_;
  SelfPipe signals_;
  QueuedOutput output_;
  TermReporter reporter_;
  TermSession session_;
  TermCommands commands_;
  ReadlinePrompt prompt_;
  std::optional<PromptCommand> waiting_for_name_;
  bool quit_ = false;
};

}  // namespace

int RunInteractive(const TermOptions& options, ProgramSettings& settings) {
  return InteractiveLoop(options, settings).Run();
}
