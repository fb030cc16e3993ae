#ifndef QUILLO_NET_MAIL_STATE_H
#define QUILLO_NET_MAIL_STATE_H

// Part of ProgramSettings owned by its subsystem (filled in by that subsystem).
struct MailState {
};

#endif  // QUILLO_NET_MAIL_STATE_H
