#ifndef QUILLO_TERM_EXIT_STATUS_H
#define QUILLO_TERM_EXIT_STATUS_H

// quillo-term's exit status, which scripts test.
enum ExitStatus : int {
  kExitSignedOff = 0,     // the conversation ended with a clean sign-off
  kExitBroken = 1,        // the connection failed or broke
  kExitBadArguments = 2,  // the usage went to standard error
};

#endif  // QUILLO_TERM_EXIT_STATUS_H
