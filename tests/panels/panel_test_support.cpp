#include "panel_test_support.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wx/app.h>
#include <wx/timer.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "books/address_book.h"
#include "books/book_handles.h"
#include "chat/chat_engine.h"
#include "ui/gui_text.h"

extern char** environ;

namespace {

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return ok;
}

class OneShot : public wxTimer {
 public:
  explicit OneShot(std::function<void()> action) : action_(std::move(action)) {}
  void Notify() override {
    action_();
    wxTheApp->CallAfter([this] { delete this; });
  }

 private:
  std::function<void()> action_;
};

}  // namespace

void SelectLine(wxListBox* list, int line) {
  list->SetSelection(line);
  wxCommandEvent select(wxEVT_LISTBOX, list->GetId());
  select.SetEventObject(list);
  select.SetInt(line);
  list->ProcessWindowEvent(select);
}

std::vector<std::string> Lines(const wxListBox* list) {
  std::vector<std::string> lines;
  for (unsigned int i = 0; i < list->GetCount(); ++i) {
    lines.push_back(ProgramText(list->GetString(i)));
  }
  return lines;
}

void After(int milliseconds, std::function<void()> action) {
  (new OneShot(std::move(action)))->StartOnce(milliseconds);
}

PanelTest::PanelTest() : settings(std::make_unique<ProgramSettings>()) {
  settings->SettingsFilePath = dir.File("quillo.ini");
  settings->WorkingDirectory = dir.Path();
  settings->HomeDirectory = dir.Path();
  settings->EnableAudio = 0;
  settings->GreetingText.Set("Welcome to the Quillo session");
  events = new EventWindow(nullptr);
  reporter = GuiReporter::Create(
      {[](const std::string&) {}, [this](const std::string& text) { events->AppendText(text); },
       [](const std::string&) {}, nullptr},
      "");
}

void PanelTest::TearDown() {
  settings->CloseAddressBooks();
  if (!previousDirectory.empty()) {
    EXPECT_EQ(0, chdir(previousDirectory.c_str()));
  }
  StopChatWorkers(*settings);
  if (settings->SendMailThread != nullptr) {
    settings->MailTask.DestroyThread(settings->SendMailThread, true);
    settings->SendMailThread = nullptr;
  }
  reporter->Close();
  for (wxWindow* window : windows) window->Destroy();
  events->Destroy();
  PumpEvents(std::chrono::milliseconds(20));
}

std::string PanelTest::EventText() const {
  reporter->Flush();
  return ProgramText(events->MessageBox()->GetValue());
}

void PanelTest::OpenBooks() {
  char* current = getcwd(nullptr, 0);
  previousDirectory = current;
  free(current);
  ASSERT_EQ(0, chdir(dir.Path().c_str()));
  OpenAddressBooks(*settings, nullptr);
  ASSERT_NE(nullptr, settings->PreviousConnectionsBook);
  ASSERT_NE(nullptr, settings->InvitationBook);
}

void PanelTest::DamageConnectionsData(long offset, size_t count) {
  const std::string path = dir.File("prevconn.ihd");
  FILE* file = fopen(path.c_str(), "r+b");
  ASSERT_NE(nullptr, file);
  fseek(file, offset, SEEK_SET);
  const std::string junk(count, '\xA5');
  fwrite(junk.data(), 1, junk.size(), file);
  fclose(file);
}

SilentHost::SilentHost() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(fd_, 4);
  getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
}

SilentHost::~SilentHost() { close(fd_); }

RealSmtpServer::RealSmtpServer() : port_(FreePort()) {
  const std::string listen = "127.0.0.1:" + std::to_string(port_);
  std::vector<std::string> arguments = {"/usr/bin/python3", "-m", "aiosmtpd", "-n", "-l",
                                        listen, "-c", "aiosmtpd.handlers.Mailbox",
                                        folder_.File("mail")};
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
    if (Accepts(port_)) {
      ready_ = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

RealSmtpServer::~RealSmtpServer() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (waitpid(pid_, &status, WNOHANG) != pid_) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::vector<std::string> RealSmtpServer::Messages() const {
  std::vector<std::string> messages;
  const std::string folder = folder_.File("mail/new");
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) return messages;
  while (dirent* entry = readdir(directory)) {
    if (entry->d_name[0] == '.') continue;
    messages.push_back(ReadFile(folder + "/" + entry->d_name));
  }
  closedir(directory);
  return messages;
}
