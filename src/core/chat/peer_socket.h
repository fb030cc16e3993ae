#ifndef QUILLO_CORE_CHAT_PEER_SOCKET_H
#define QUILLO_CORE_CHAT_PEER_SOCKET_H

#include <string>

#include "core/net/socket.h"

struct ChatSessionState;

// Operations on the conversation's descriptor, PeerSocket. Each takes the
// session's PeerLock for an instant, so closing and copying never
// interleave; none of them blocks on the network while holding it.

// A duplicate of PeerSocket for one send (the caller sends on it without a
// lock and closes it), or kInvalidSocket when no conversation is open.
SocketHandle DuplicatePeer(ChatSessionState& session);

// Closes PeerSocket and clears it, if it still holds handle.
void ClosePeerIf(ChatSessionState& session, SocketHandle handle);

// Closes whatever PeerSocket holds and clears it.
void ClosePeer(ChatSessionState& session);

// If PeerSocket still holds handle: sends a MSG_SIGNOFF from name without
// waiting (a full send buffer drops it, like any failed sign-off) and, with
// wake set, shuts the connection down so a receive blocked on it returns.
void SignOffPeerIf(ChatSessionState& session, SocketHandle handle, const std::string& name,
                   bool wake);

#endif  // QUILLO_CORE_CHAT_PEER_SOCKET_H
