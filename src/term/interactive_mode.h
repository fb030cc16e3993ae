#ifndef QUILLO_TERM_INTERACTIVE_MODE_H
#define QUILLO_TERM_INTERACTIVE_MODE_H

#include "term/arguments.h"

class ProgramSettings;

// quillo-term on a terminal: a prompt for messages and /commands, the
// conversation printed above it. Starts with the command line's host or
// connect, if any. Returns the exit status (0 unless the terminal failed).
int RunInteractive(const TermOptions& options, ProgramSettings& settings);

#endif  // QUILLO_TERM_INTERACTIVE_MODE_H
