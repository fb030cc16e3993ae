#ifndef QUILLO_TESTS_TERM_TERM_PROCESS_H
#define QUILLO_TESTS_TERM_TERM_PROCESS_H

// Runs the real quillo-term with its standard streams on pipes, in a
// working directory of its own with HOME there and QUILLO unset. Output is
// collected by reader threads; every wait has a limit. A program still
// running when the object goes is killed (by its own pid) and reaped.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace term_test {

inline std::string TermProgram() { return std::string(QUILLO_BINARY_DIR) + "/quillo-term"; }

class TermProcess {
 public:
  TermProcess(const std::string& workdir, const std::vector<std::string>& arguments) {
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC)) return;
    std::vector<std::string> argv_text = {TermProgram()};
    argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);
    // Only async-signal-safe calls may follow fork in a threaded test, so
    // the environment is made here.
    std::vector<std::string> env_text = {"HOME=" + workdir};
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      if (entry.rfind("HOME=", 0) != 0 && entry.rfind("QUILLO=", 0) != 0) env_text.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : env_text) envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      if (::chdir(workdir.c_str()) != 0) ::_exit(126);
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    input_ = in[1];
    readers_.emplace_back([this, fd = out[0]] { Collect(fd, &output_); });
    readers_.emplace_back([this, fd = err[0]] { Collect(fd, &errors_); });
  }

  ~TermProcess() {
    CloseInput();
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      int status;
      ::waitpid(pid_, &status, 0);
    }
    for (std::thread& reader : readers_) reader.join();
  }

  bool Write(const std::string& text) {
    return input_ >= 0 &&
           ::write(input_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }
  void CloseInput() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
  }
  void Signal(int number) {
    if (pid_ > 0 && !status_) ::kill(pid_, number);
  }

  std::string Output() const { return Get(output_); }
  std::string Errors() const { return Get(errors_); }
  bool WaitOutput(const std::string& text,
                  std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    return qtest::WaitUntil([&] { return Output().find(text) != std::string::npos; }, limit);
  }

  // The exit status, or -1 when the program did not end in time (or died
  // of a signal).
  int WaitExit(std::chrono::milliseconds limit = std::chrono::seconds(15)) {
    qtest::WaitUntil(
        [&] {
          int status;
          if (!status_ && ::waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
          return status_.has_value();
        },
        limit);
    // What the program wrote before it ended is all there once both
    // streams have reached their end.
    qtest::WaitUntil([&] { return streams_ended_.load() == 2; }, limit);
    if (!status_ || !WIFEXITED(*status_)) return -1;
    return WEXITSTATUS(*status_);
  }

 private:
  void Collect(int fd, std::string* into) {
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n <= 0) break;
      std::lock_guard<std::mutex> guard(lock_);
      into->append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    ++streams_ended_;
  }
  std::string Get(const std::string& text) const {
    std::lock_guard<std::mutex> guard(lock_);
    return text;
  }

  pid_t pid_ = -1;
  int input_ = -1;
  std::optional<int> status_;
  mutable std::mutex lock_;
  std::string output_;
  std::string errors_;
  std::atomic<int> streams_ended_{0};
  std::vector<std::thread> readers_;
};

}  // namespace term_test

#endif  // QUILLO_TESTS_TERM_TERM_PROCESS_H
