#ifndef QUILLO_CHAT_CHAT_SESSION_STATE_H
#define QUILLO_CHAT_CHAT_SESSION_STATE_H

// Part of ProgramSettings owned by its subsystem (filled in by that subsystem).
struct ChatSessionState {
};

#endif  // QUILLO_CHAT_CHAT_SESSION_STATE_H
