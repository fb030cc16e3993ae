#ifndef QUILLO_CORE_CHAT_CHAT_SESSION_STATE_H
#define QUILLO_CORE_CHAT_CHAT_SESSION_STATE_H

#include <atomic>
#include <mutex>
#include <string>

#include "core/chat/client_connect_task.h"
#include "core/chat/server_task.h"
#include "core/chat/session_text.h"
#include "core/chat/talker_task.h"
#include "core/net/socket.h"

class Thread;

// The chat engine's part of ProgramSettings: the session flags, the peer
// record, the chat socket, the three chat tasks and their threads.
//
// Threads: the GUI thread, the server thread, the connect thread and the
// talker thread all use these fields. The flags and the peer socket are
// atomic; the texts written while another thread may read them are
// SessionTexts; HostAddress, HostStartTime and ConnectAddress are written by
// the GUI thread only, before the worker that reads them starts.
//
// Two locks keep conversations apart:
// - TalkerSlotLock is held while a talker thread is handed in or taken out
//   (a greeting starting one, StopTalker ending one), so an ending
//   conversation's descriptor and line flag are never confused with those
//   of the next caller. Whoever holds it may take a thread's commit lock,
//   never the other way round.
// - PeerLock is held for an instant while PeerSocket is closed or copied
//   for a send, so a send never reaches a descriptor number that has been
//   reused.
//
// Stop the workers (EndSession, or StopChatWorkers) before the settings
// object is destroyed: the tasks must outlive their threads.
struct ChatSessionState {
  ChatSessionState() = default;
  ~ChatSessionState();
  ChatSessionState(const ChatSessionState&) = delete;
  ChatSessionState& operator=(const ChatSessionState&) = delete;

  std::atomic<int> Hosting{0};          // 1 while a host session is open
  std::atomic<int> LineBusy{0};         // 1 while a peer is connected
  std::atomic<int> ConnectionCount{0};  // callers taken on a free line since hosting began
  std::atomic<int> TalkerRunning{1};    // 0 asks the talker to stop between messages
  std::string HostAddress;              // dotted address shown for the session
  std::string HostStartTime;            // TimeStamp text of the session's start
  std::string ConnectAddress;           // host name or dotted address to connect to
  SessionText GreetingText;             // body of every MSG_WELCOME and MSG_BUSY
  SessionText PeerName;                 // screen name of the connected peer
  std::atomic<SocketHandle> PeerSocket{kInvalidSocket};  // the conversation's connection

  // Main handle: the listener (hosting) or the connection being made
  // (connect task); remote handle: the caller being answered.
  Socket ChatSocket;

  ChatServerTask ServerTask;
  ChatConnectTask ClientConnectTask;
  ChatTalkerTask TalkerTask;
  Thread* ServerThread = nullptr;              // GUI thread only
  std::atomic<Thread*> TalkerThread{nullptr};  // handed over under TalkerSlotLock

  std::mutex TalkerSlotLock;
  std::mutex PeerLock;

  // How long the host waits for a caller's 33 sign-on bytes.
  int SignOnTimeoutMilliseconds = 30000;
};

#endif  // QUILLO_CORE_CHAT_CHAT_SESSION_STATE_H
