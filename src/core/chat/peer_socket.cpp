#include "core/chat/peer_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

#include "core/chat/chat_session_state.h"
#include "core/chat/message_header.h"

SocketHandle DuplicatePeer(ChatSessionState& session) {
  std::lock_guard<std::mutex> guard(session.PeerLock);
  const SocketHandle handle = session.PeerSocket.load();
  if (handle < 0) return kInvalidSocket;
  return ::fcntl(handle, F_DUPFD_CLOEXEC, 0);
}

void ClosePeerIf(ChatSessionState& session, SocketHandle handle) {
  if (handle < 0) return;
  std::lock_guard<std::mutex> guard(session.PeerLock);
  SocketHandle expected = handle;
  if (session.PeerSocket.compare_exchange_strong(expected, kInvalidSocket)) ::close(handle);
}

void ClosePeer(ChatSessionState& session) {
  std::lock_guard<std::mutex> guard(session.PeerLock);
  const SocketHandle handle = session.PeerSocket.exchange(kInvalidSocket);
  if (handle >= 0) ::close(handle);
}

void SignOffPeerIf(ChatSessionState& session, SocketHandle handle, const std::string& name,
                   bool wake) {
  if (handle < 0) return;
  std::lock_guard<std::mutex> guard(session.PeerLock);
  if (session.PeerSocket.load() != handle) return;
  const MessageHeader signoff(name, MSG_SIGNOFF, 0);
  Socket sender;
  sender.SendAll(handle, signoff.Data(), static_cast<int>(MessageHeader::kSize), MSG_DONTWAIT);
  if (wake) Socket::ShutdownHandle(handle);
}
