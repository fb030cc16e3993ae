#ifndef QUILLO_TESTS_UTIL_REAL_SMTP_SERVER_H
#define QUILLO_TESTS_UTIL_REAL_SMTP_SERVER_H

// aiosmtpd (python3-aiosmtpd) on a free loopback port, saving every message
// into a maildir (created by the server) in a scratch folder. Free of GoogleTest and wxWidgets: the
// mail tests and the panel tests share it.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_port.h"

extern char** environ;

namespace qtest {

class RealSmtpServer {
 public:
  // Ready() tells whether the server took connections within 20 seconds.
  RealSmtpServer() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillo_smtp_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    folder_ = pattern;
    port_ = FreePort();
    const std::string listen = "127.0.0.1:" + std::to_string(port_);
    std::vector<std::string> arguments = {
        "/usr/bin/python3", "-m", "aiosmtpd", "-n", "-l", listen, "-c", "aiosmtpd.handlers.Mailbox",
        folder_ + "/mail"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    ready_ = pid_ > 0 && Poll([this] { return Accepts(); }, 20000);
  }
  ~RealSmtpServer() {
    int status;
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      if (!Poll([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 5000)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
      }
    }
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  RealSmtpServer(const RealSmtpServer&) = delete;
  RealSmtpServer& operator=(const RealSmtpServer&) = delete;

  bool Ready() const { return ready_; }
  int Port() const { return port_; }
  // The messages saved so far, each as its file's bytes.
  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder_ + "/mail/new", error)) {
      std::ifstream in(entry.path(), std::ios::binary);
      messages.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return messages;
  }

 private:
  static bool Poll(const std::function<bool()>& done, int limit_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }
  bool Accepts() const {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port_));
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
  }

  std::string folder_;
  int port_ = 0;
  pid_t pid_ = -1;
  bool ready_ = false;
};

}  // namespace qtest

#endif  // QUILLO_TESTS_UTIL_REAL_SMTP_SERVER_H
