#include "term/script_mode.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <deque>
#include <mutex>

#include "core/settings/program_settings.h"
#include "term/exit_status.h"
#include "term/line_reader.h"
#include "term/self_pipe.h"
#include "term/signal_watch.h"
#include "term/term_commands.h"
#include "term/term_reporter.h"
#include "term/term_session.h"

namespace {

// The longest the loop sleeps without a wake-up.
constexpr int kPollMilliseconds = 250;
// How long one message may take to be handed to the network.
constexpr std::chrono::seconds kWriteLimit{30};

// Conversation to standard output, the rest to standard error, written at
// once from whichever thread reports. Write errors (a closed pipe) are
// ignored: the conversation goes on.
class DirectOutput : public TermOutput {
 public:
  void Write(Stream stream, const std::string& text) override {
    const int fd = stream == Stream::kConversation ? STDOUT_FILENO : STDERR_FILENO;
    std::lock_guard<std::mutex> guard(lock_);
    for (size_t done = 0; done < text.size();) {
      const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }

 private:
  std::mutex lock_;
};

class ScriptLoop {
 public:
  ScriptLoop(const TermOptions& options, ProgramSettings& settings)
      : options_(options),
        reporter_(output_),
        session_(settings, reporter_, [this] { wake_.Notify(); }),
        commands_(settings, session_, reporter_, output_),
        input_(STDIN_FILENO) {}

  int Run() {
    if (!wake_.Valid() || !signals_.Valid()) return kExitBroken;
    SignalWatch watch(signals_);
    const int flags = ::fcntl(STDIN_FILENO, F_GETFL);
    if (flags >= 0) ::fcntl(STDIN_FILENO, F_SETFL, flags | O_NONBLOCK);
    const bool hosting = options_.start == TermOptions::Start::kHost;
    if (options_.name) session_.SetScreenName(*options_.name, hosting);
    if (hosting) {
      if (!commands_.Host(options_.port)) return kExitBroken;
    } else if (!commands_.Connect(options_.target, options_.key)) {
      commands_.Notice("\n" + UsageText());
      return kExitBadArguments;
    }
    while (!status_) Turn();
    if (session_.CurrentState() != TermSession::State::kIdle) session_.End();
    session_.Close();
    if (flags >= 0) ::fcntl(STDIN_FILENO, F_SETFL, flags);
    return *status_;
  }

 private:
  void Turn() {
    pollfd fds[3] = {{wake_.ReadFd(), POLLIN, 0},
                     {signals_.ReadFd(), POLLIN, 0},
                     {input_.AtEnd() ? -1 : STDIN_FILENO, POLLIN, 0}};
    const int ready = ::poll(fds, 3, kPollMilliseconds);
    if (ready > 0 && fds[0].revents != 0) wake_.Drain([](unsigned char) {});
    if (ready > 0 && fds[1].revents != 0) {
      signals_.Drain([this](unsigned char) { Finish(kExitSignedOff); });
    }
    for (TermSession::Happening happening : session_.Poll()) OnHappening(happening);
    if (ready > 0 && fds[2].revents != 0) {
      for (std::string& line : input_.ReadAvailable()) {
        if (!line.empty()) lines_.push_back(std::move(line));
      }
    }
    if (talking_) SendLines();
  }

  void OnHappening(TermSession::Happening happening) {
    using H = TermSession::Happening;
    switch (happening) {
      case H::kConnected:
      case H::kPartnerJoined:
        talking_ = true;
        break;
      case H::kConnectFailed:
        Finish(kExitBroken);
        break;
      case H::kSignedOff:
      case H::kBroken:
        talking_ = false;
        PartnerLeft(happening == H::kSignedOff);
        break;
    }
  }

  void PartnerLeft(bool signed_off) {
    if (options_.start == TermOptions::Start::kHost) {
      if (options_.once) Finish(signed_off ? kExitSignedOff : kExitBroken);
      return;
    }
    // A caller's input was not all sent.
    commands_.Notice("The partner left before the end of the input\n");
    Finish(kExitBroken);
  }

  void SendLines() {
    while (!lines_.empty() && !status_) {
      const std::string line = lines_.front();
      lines_.pop_front();
      if (!session_.Send(line) || !session_.WaitWritten(kWriteLimit)) {
        if (options_.start == TermOptions::Start::kConnect) Finish(kExitBroken);
        return;
      }
    }
    if (options_.start == TermOptions::Start::kConnect && input_.AtEnd() && lines_.empty()) {
      Finish(kExitSignedOff);
    }
  }

  void Finish(int status) {
    if (!status_) status_ = status;
  }

  const TermOptions& options_;
  SelfPipe wake_;
  SelfPipe signals_;
  DirectOutput output_;
  TermReporter reporter_;
  TermSession session_;
  TermCommands commands_;
  LineReader input_;
  std::deque<std::string> lines_;
  bool talking_ = false;
  std::optional<int> status_;
};

}  // namespace

int RunScript(const TermOptions& options, ProgramSettings& settings) {
  return ScriptLoop(options, settings).Run();
}
