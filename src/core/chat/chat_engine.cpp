#include "core/chat/chat_engine.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

#include "core/chat/cipher_table.h"
#include "core/chat/message_header.h"
#include "core/chat/peer_socket.h"
#include "core/settings/program_settings.h"
#include "core/thread/thread.h"
#include "core/thread/time_stamp.h"
#include "core/util/reporter.h"

namespace {

void ShowBox(Reporter& reporter, const std::string& text) {
  reporter.ProgramMessage(text, " ", " ");
}

// The address shown for this host: the last IPv4 address of the local
// host's entry, or the first one when the entry cannot be read again.
std::string HostAddressOf(const std::string& local) {
  const std::unique_ptr<HostEntry> entry = Socket::ResolveHost(local);
  if (!entry || entry->addresses.empty()) return local;
  char text[INET_ADDRSTRLEN];
  if (inet_ntop(AF_INET, &entry->addresses.back(), text, sizeof text) == nullptr) return local;
  return text;
}

// Steps 2 and 3 of ending a session: the talker is stopped and the line is
// freed, under the slot lock so a greeting cannot slip in between.
void StopTalker(ProgramSettings& s) {
  std::lock_guard<std::mutex> slot(s.TalkerSlotLock);
  if (Thread* talker = s.TalkerThread.exchange(nullptr)) {
    if (talker->State() != ThreadState::EXITED) s.TalkerTask.CancelThread(talker);
    s.TalkerTask.DestroyThread(talker, false);
  }
  s.LineBusy = 0;
  ClosePeer(s);
}

void StopServer(ProgramSettings& s) {
  if (s.ServerThread == nullptr) return;
  if (s.ServerThread->State() != ThreadState::EXITED) s.ServerTask.CancelThread(s.ServerThread);
  s.ServerTask.DestroyThread(s.ServerThread, false);
  s.ServerThread = nullptr;
}

// Sends one message on a private copy of the peer descriptor, so the send
// needs no lock; sender keeps the error code.
bool SendToPeer(ProgramSettings& s, Socket* sender, const void* bytes, size_t n, int flags) {
  const SocketHandle peer = DuplicatePeer(s);
  const bool sent = sender->SendAll(peer, bytes, static_cast<int>(n), flags) >= 0;
  if (peer >= 0) ::close(peer);
  return sent;
}

std::string ClientCountLine(int count) {
  if (count == 1) return "Currently 1 Quillo client is connected";
  return "Currently " + std::to_string(count) + " Quillo clients are connected";
}

}  // namespace

bool CheckHostCommand(ProgramSettings& settings, Reporter& reporter) {
  if (settings.Hosting.load() == 1) {
    ShowBox(reporter, "You are currently hosting a Quillo session\n");
    return false;
  }
  if (settings.LineBusy.load() == 1) {
    ShowBox(reporter, "You are currently connected to a Quillo server\n");
    return false;
  }
  return true;
}

bool CheckConnectCommand(ProgramSettings& settings, Reporter& reporter) {
  if (settings.Hosting.load() == 1 || settings.LineBusy.load() == 1) {
    ShowBox(reporter, "You must end this host session before connecting\n");
    return false;
  }
  return true;
}

bool ScreenNameIsDefault(const ProgramSettings& settings) {
  return settings.ScreenName == "Quillo";
}

void AcceptScreenName(ProgramSettings& settings, const std::string& entry, bool for_host) {
  settings.ScreenName = entry.substr(0, ProgramSettings::kMaxScreenName);
  if (for_host)
    settings.GreetingText.Set("Welcome to the " + settings.ScreenName + " chat session");
}

int StartServer(ProgramSettings& settings, int port, int backlog) {
  Socket& socket = settings.ChatSocket;
  if (socket.StartWinsock() != 0) return -1;
  socket.ClearShutdown();
  if (socket.InitSocket(1, port) < 0) return -1;
  // Connections of an earlier session may linger in TIME_WAIT on this port;
  // they must not keep a new session from binding it.
  const int reuse = 1;
  ::setsockopt(socket.MainHandle(), SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
  if (socket.Bind() != 0 || socket.Listen(backlog) != 0) {
    socket.CloseAll();
    return -1;
  }
  return 0;
}

void OpenHostSession(ProgramSettings& settings, Reporter& reporter) {
  Socket& socket = settings.ChatSocket;
  reporter.ConversationLine("Initializing Quillo services...\n");
  std::string local;
  const bool started = StartServer(settings, settings.QuilloPortNumber, 5) == 0;
  if (!started || socket.GetLocalAddress(&local) != 0) {
    reporter.ConversationLine("Could not initialize the Quillo server\n");
    reporter.ConversationLine(std::string(socket.ErrorText()) + "\n");
    if (started) socket.CloseAll();
    return;
  }
  const std::string host = HostAddressOf(local);
  reporter.ConversationLine("Opening Quillo server on host " + host + " at: " + TimeStamp().Text() +
                            "\n");
  reporter.ConversationLine("Listening on port " + std::to_string(settings.QuilloPortNumber) +
                            "\n");
  reporter.ConversationLine("\n");
  settings.HostAddress = host;
  settings.HostStartTime = TimeStamp().Text();
  settings.ServerTask.Prepare(&settings, &reporter);
  settings.ServerThread = settings.ServerTask.StartThread(ThreadType::JOINABLE);
  Thread* server = settings.ServerThread;
  if (server == nullptr || server->ErrorCode() != THREAD_NO_ERROR) {
    reporter.ConversationLine("Could not initialize the Quillo server thread\n");
    if (server != nullptr) {
      reporter.ConversationLine(std::string(settings.ServerTask.Manager().ThreadErrorText(server)) +
                                "\n");
      settings.ServerTask.DestroyThread(server, false);
      settings.ServerThread = nullptr;
    }
    // Left open, the listener would keep the next Host from binding.
    socket.CloseAll();
    return;
  }
  reporter.StatusText("Hosting Quillo Session");
  settings.Hosting = 1;
}

bool SendChatLine(ProgramSettings& settings, Reporter& reporter, const std::string& text) {
  if (settings.LineBusy.load() == 0) {
    ShowBox(reporter, "You are not connected to any Quillo services\n");
    return false;
  }
  std::string line = text;
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (line.empty()) return false;
  std::string body;
  if (!EncipherLine(BuildCipherTable(settings.EncryptionKey), line, &body) ||
      body.size() > 0x7fffffffu) {
    reporter.ConversationLine("A memory allocation error occurred\n");
    reporter.ConversationLine("Could not send message\n");
    return false;
  }
  Socket sender;
  const MessageHeader header(settings.ScreenName, MSG_SAY, static_cast<uint32_t>(body.size()));
  // The header waits for its body, so the two leave as one segment instead
  // of the body waiting for the header's acknowledgement.
  if (!SendToPeer(settings, &sender, header.Data(), MessageHeader::kSize, MSG_MORE)) {
    reporter.ConversationLine("Could not send message header to server\n");
    reporter.ConversationLine(std::string(sender.ErrorText()) + "\n");
    return false;
  }
  if (!SendToPeer(settings, &sender, body.data(), body.size(), 0)) {
    reporter.ConversationLine("Could not send message to server\n");
    reporter.ConversationLine(std::string(sender.ErrorText()) + "\n");
    return false;
  }
  reporter.ConversationLine(settings.ScreenName + " Says>\n" + line + "\n\n");
  return true;
}

Thread* StartClientConnection(ProgramSettings& settings, Reporter& reporter) {
  settings.ChatSocket.ClearShutdown();
  settings.ClientConnectTask.Prepare(&settings, &reporter);
  return settings.ClientConnectTask.StartThread(ThreadType::JOINABLE);
}

void EndSession(ProgramSettings& settings, Reporter& reporter,
                const std::function<bool()>& ask_host_again) {
  settings.TalkerRunning = 0;
  StopTalker(settings);
  if (settings.ServerThread != nullptr) {
    if (ask_host_again && ask_host_again()) {
      reporter.ConversationLine("Quillo server open on host " + settings.HostAddress +
                                " at: " + TimeStamp().Text() + "\n");
      reporter.ConversationLine("Listening on port " + std::to_string(settings.QuilloPortNumber) +
                                "\n");
      reporter.ConversationLine("\n");
      reporter.StatusText("Hosting Quillo Session");
      return;
    }
    StopServer(settings);
    // A caller greeted while the question was open.
    StopTalker(settings);
  }
  settings.ChatSocket.CloseAll();
  settings.Hosting = 0;
  reporter.ConversationLine("All Quillo services have been shutdown\n");
  reporter.StatusText("All Quillo services have been shutdown");
}

void StopChatWorkers(ProgramSettings& settings) {
  settings.TalkerRunning = 0;
  StopTalker(settings);
  StopServer(settings);
  StopTalker(settings);
  settings.ChatSocket.CloseAll();
}

std::vector<std::string> StatsLines(const ProgramSettings& settings) {
  std::vector<std::string> lines;
  const bool hosting = settings.Hosting.load() == 1;
  const bool busy = settings.LineBusy.load() == 1;
  const std::string port = std::to_string(settings.QuilloPortNumber);
  const std::string key = std::to_string(settings.EncryptionKey);
  if (!hosting) {
    lines.push_back("You are not hosting any Quillo sessions");
    if (!busy) {
      lines.push_back("You are not connected to any Quillo services");
      return lines;
    }
    lines.insert(
        lines.end(),
        {"You are configured as Quillo client", "", "You are connected to a Quillo server",
         "IP Address: " + settings.HostAddress, "Port Number: " + port, "Encryption Key: " + key,
         "", "Quillo session started at: " + settings.HostStartTime});
    return lines;
  }
  lines.insert(lines.end(),
               {"You are configured as Quillo server", "IP Address: " + settings.HostAddress,
                "Port Number: " + port, "Encryption Key: " + key, ""});
  if (!busy) {
    lines.push_back("Currently no Quillo clients are connected");
  } else {
    lines.push_back(ClientCountLine(settings.ConnectionCount.load()));
    lines.push_back("Quillo session started at: " + settings.HostStartTime);
  }
  return lines;
}

bool CheckInvitationCommand(ProgramSettings& settings, Reporter& reporter) {
  if (settings.Hosting.load() == 0) {
    ShowBox(reporter, "You are not currently hosting a Quillo session\n");
    return false;
  }
  return true;
}

std::vector<std::string> InvitationLines(const ProgramSettings& settings,
                                         const std::string& time_text) {
  return {time_text,
          "",
          "This is an invitation to join the " + settings.ScreenName + " Quillo session",
          "The " + settings.ScreenName + " Quillo line is open at:",
          "",
          "Internet Address: " + settings.HostAddress,
          "Port Number: " + std::to_string(settings.QuilloPortNumber),
          "Encryption Key: " + std::to_string(settings.EncryptionKey),
          ""};
}
