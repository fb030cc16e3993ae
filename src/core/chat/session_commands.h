#ifndef QUILLO_CORE_CHAT_SESSION_COMMANDS_H
#define QUILLO_CORE_CHAT_SESSION_COMMANDS_H

class ProgramSettings;

// The session facts the main frame's close sequence asks about, and the
// shutdown step that stops every worker thread.

// Hosting or a partner on the line.
bool SessionRunning(const ProgramSettings& settings);
bool ServerThreadExists(const ProgramSettings& settings);
bool TalkerThreadExists(const ProgramSettings& settings);

// TalkerRunning := 0; then the server, talker and send-mail threads are each
// cancelled unless they have exited, destroyed and forgotten.
void StopWorkerThreads(ProgramSettings& settings);

#endif  // QUILLO_CORE_CHAT_SESSION_COMMANDS_H
