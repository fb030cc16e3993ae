#ifndef QUILLO_TERM_SCRIPT_MODE_H
#define QUILLO_TERM_SCRIPT_MODE_H

#include "term/arguments.h"

class ProgramSettings;

// quillo-term with standard input not a terminal. connect: each input line
// is sent as one message once the host has answered; the end of the input
// signs off. host: the conversation goes to standard output, input lines
// go to the partner on the line; with once the program ends when the first
// partner leaves. Event lines and messages go to standard error. SIGINT,
// SIGTERM and SIGHUP sign off and end the program. Returns the exit
// status (see exit_status.h).
int RunScript(const TermOptions& options, ProgramSettings& settings);

#endif  // QUILLO_TERM_SCRIPT_MODE_H
