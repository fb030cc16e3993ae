#include "core/chat/chat_session_state.h"

#include <unistd.h>

ChatSessionState::~ChatSessionState() {
  // The workers are gone by now; a conversation may have left its
  // descriptor behind.
  const SocketHandle peer = PeerSocket.exchange(kInvalidSocket);
  if (peer >= 0) ::close(peer);
}
