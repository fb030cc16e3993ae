#ifndef QUILLO_TESTS_UTIL_REAL_SMTP_SERVER_H
#define QUILLO_TESTS_UTIL_REAL_SMTP_SERVER_H

// aiosmtpd (python3-aiosmtpd) on a free loopback port, saving every message
// into a maildir in a scratch folder; shared by the mail and panel tests.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "support/test_support.h"

extern char** environ;

namespace qtest {

class RealSmtpServer {
 public:
  // Ready() tells whether the server took connections within 20 seconds.
  RealSmtpServer() : maildir_(folder_.File("mail")), port_(FreePort()) {
    const std::string listen = "127.0.0.1:" + std::to_string(port_);
    std::vector<std::string> arguments = {
        "/usr/bin/python3",          "-m",    "aiosmtpd", "-n", "-l", listen, "-c",
        "aiosmtpd.handlers.Mailbox", maildir_};
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    if (folder_.Path().empty() ||
        posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    ready_ = pid_ > 0 && WaitUntil([this] { return Accepts(); }, std::chrono::seconds(20));
  }
  ~RealSmtpServer() {
    int status;
    if (pid_ > 0 && kill(pid_, SIGTERM) == 0 &&
        !WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; },
                   std::chrono::seconds(5))) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
  }
  RealSmtpServer(const RealSmtpServer&) = delete;
  RealSmtpServer& operator=(const RealSmtpServer&) = delete;

  bool Ready() const { return ready_; }
  int Port() const { return port_; }
  // The messages saved so far, each as its file's bytes.
  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(maildir_ + "/new", missing)) {
      messages.push_back(ReadBytes(entry.path()));
    }
    return messages;
  }

 private:
  bool Accepts() const {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = LoopbackAddress(port_);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
  }

  ScratchDir folder_;
  const std::string maildir_;  // created by the server
  const int port_;
  pid_t pid_ = -1;
  bool ready_ = false;
};

}  // namespace qtest

#endif  // QUILLO_TESTS_UTIL_REAL_SMTP_SERVER_H
