#ifndef QUILLO_CORE_CHAT_CHAT_ENGINE_H
#define QUILLO_CORE_CHAT_CHAT_ENGINE_H

// The chat session commands as the windows call them. Everything here runs
// on the GUI thread (or a test's main thread standing in for it) and never
// touches a window: conversation lines, status text, message boxes and the
// activity sound all go through the Reporter handed in. Worker threads
// started from here keep that Reporter and report through it from their own
// threads, so it must outlive the session (the GUI's lives as long as the
// main frame; EndSession stops every chat worker).
//
// Typical wiring of the chat panel:
//   Host:    if (CheckHostCommand(s, r)) { if (ScreenNameIsDefault(s)) prompt
//            and AcceptScreenName(s, entry, true) + write "ScreenName";
//            OpenHostSession(s, r); }
//   Connect: if (CheckConnectCommand(s, r)) { prompt as above with false;
//            show the Connect panel }, whose OnConnect calls
//            StartClientConnection and waits on the thread it returns.
//   Send:    if (SendChatLine(s, r, input)) clear the input box.
//   End:     EndSession(s, r, [] { return ask the Yes/No question; });
//   Stats:   StatsLines(s); Invite: if (CheckInvitationCommand(s, r))
//            InvitationLines(s, TimeStamp text).

#include <functional>
#include <string>
#include <vector>

class ProgramSettings;
class Reporter;
class Thread;

// The boxes of the Host command: "You are currently hosting a Quillo
// session\n" while hosting, "You are currently connected to a Quillo
// server\n" while connected. Returns true when the command may go on.
bool CheckHostCommand(ProgramSettings& settings, Reporter& reporter);

// "You must end this host session before connecting\n" while hosting or
// connected. Returns true when the Connect panel may be shown.
bool CheckConnectCommand(ProgramSettings& settings, Reporter& reporter);

// Whether Host and Connect must prompt for a screen name first (the name is
// still exactly the built-in "Quillo").
bool ScreenNameIsDefault(const ProgramSettings& settings);

// Takes the answer of the screen-name prompt: ScreenName := its first 24
// bytes; for the Host command also GreetingText := "Welcome to the " +
// ScreenName + " chat session". Writing the settings file stays with the
// caller.
void AcceptScreenName(ProgramSettings& settings, const std::string& entry, bool for_host);

// Opens the listener on QuilloPortNumber and starts the server thread,
// reporting every step in the conversation window. On success Hosting is 1,
// HostAddress and HostStartTime are set and the status text is "Hosting
// Quillo Session"; on failure the program stays idle.
void OpenHostSession(ProgramSettings& settings, Reporter& reporter);

// Socket set-up of a host session on ChatSocket: 0, or -1 with the socket's
// error code set (and ChatSocket closed when bind or listen failed).
int StartServer(ProgramSettings& settings, int port, int backlog);

// The Send button: enciphers text with the current EncryptionKey and sends
// it to the peer under ScreenName, then echoes it. One trailing line end is
// dropped; inner ones are sent. Shows the not-connected box when no peer is
// connected. Returns true only when the line went out and was echoed (the
// caller then clears the input box); false leaves the input as it was.
bool SendChatLine(ProgramSettings& settings, Reporter& reporter, const std::string& text);

// The Connect panel's worker: reads ConnectAddress, QuilloPortNumber and
// ScreenName (set them first) and starts the client connect task on a new
// JOINABLE thread, which reports failures as event-window lines and the
// greeting as conversation lines. The caller owns the returned Thread:
// it waits until its state is EXITED (exit value 0: the conversation is up
// and TalkerThread runs; negative: not connected), or cancels it, and then
// destroys it with the thread layer. Returns nullptr only when no thread
// object could be made; check its error code as for any started thread.
Thread* StartClientConnection(ProgramSettings& settings, Reporter& reporter);

// The End command (and, with ask_host_again empty, the shutdown step).
// Stops the talker (the peer gets a sign-off), frees the line, and when a
// server thread runs calls ask_host_again() - the Yes/No question "You have
// ended your Quillo host session.\n Would you like to host another
// session?" belongs to the caller. true keeps the listener and reports it
// open again; false (or no question) stops the server. Ends with "All Quillo
// services have been shutdown" unless the host session was kept.
void EndSession(ProgramSettings& settings, Reporter& reporter,
                const std::function<bool()>& ask_host_again);

// The shutdown step of closing the main frame: stops the talker (the peer
// gets a sign-off) and the server without any question or window line, and
// closes ChatSocket. Call it (or EndSession) before ProgramSettings goes.
void StopChatWorkers(ProgramSettings& settings);

// The Statistics panel's text, one element per line (an empty element is an
// empty line); each is shown followed by a line end.
std::vector<std::string> StatsLines(const ProgramSettings& settings);

// "You are not currently hosting a Quillo session\n" while not hosting.
// Returns true when the invitation may be written.
bool CheckInvitationCommand(ProgramSettings& settings, Reporter& reporter);

// The invitation text, one element per line as for StatsLines; time_text is
// the current TimeStamp text.
std::vector<std::string> InvitationLines(const ProgramSettings& settings,
                                         const std::string& time_text);

#endif  // QUILLO_CORE_CHAT_CHAT_ENGINE_H
