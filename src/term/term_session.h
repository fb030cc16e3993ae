#ifndef QUILLO_TERM_TERM_SESSION_H
#define QUILLO_TERM_TERM_SESSION_H

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "core/util/reporter.h"

class ProgramSettings;
class Thread;

// The terminal program's only door into the chat engine: everything
// quillo-term does to a session goes through here, so a change of the
// engine's interface changes this class alone.
//
// The session reads the screen name, key and greeting from the settings
// handed in when it starts (Host, Connect); set them first.
//
// Threads: every method runs on the program's main thread. The engine's
// workers report through the reporter handed in and call wake() after each
// report, from their own threads; the main thread then calls Poll() to
// learn what changed. The settings, the reporter and wake() must outlive
// the object; the destructor stops every worker.
class TermSession {
 public:
  enum class State {
    kIdle,
    kConnecting,  // a Connect is waiting for the host's answer
    kHosting,     // the line is open and free
    kTalking,     // a partner is on the line (as host or as caller)
  };

  // What Poll found since the last call.
  enum class Happening {
    kConnected,      // the host answered; the conversation is up
    kConnectFailed,  // not connected (no host, refused, busy line, cancelled)
    kPartnerJoined,  // a caller is on the hosted line
    kSignedOff,      // the partner signed off (or said the line is busy)
    kBroken,         // the connection failed under the conversation
  };

  TermSession(ProgramSettings& settings, Reporter& reporter, std::function<void()> wake);
  ~TermSession();
  TermSession(const TermSession&) = delete;
  TermSession& operator=(const TermSession&) = delete;

  // Whether the screen name is still the built-in one (then the desktop
  // program asks for one before Host and Connect).
  bool ScreenNameIsDefault() const;
  // Takes a screen name for the next session (cut to 24 bytes); for_host
  // also makes the greeting name it. Writes nothing to the settings file.
  void SetScreenName(const std::string& name, bool for_host);

  // Opens the line on port, reporting each step. False (with the reason
  // reported) when a session is running or the port cannot be opened.
  bool Host(int port);
  // Starts calling address:port; the answer comes through Poll. False
  // (with the reason reported) when a session is running.
  bool Connect(const std::string& address, int port);
  std::vector<Happening> Poll();
  State CurrentState() const;

  // Sends one message to the partner; true when it was accepted (it is
  // then echoed to the conversation). False, with the reason reported,
  // when nobody is on the line or the connection failed.
  bool Send(const std::string& text);
  // Waits until every accepted message has been handed to the network, at
  // most limit; false when some are still waiting.
  bool WaitWritten(std::chrono::milliseconds limit);

  // Signs off (the partner is told), stops a connect in progress and stops
  // hosting, reporting the end as the desktop program's End does when the
  // user does not host again.
  void End();
  // The statistics, one element per line.
  std::vector<std::string> Stats() const;
  // Stops every worker without a word to the conversation (the partner
  // still gets a sign-off). Idempotent; the destructor calls it.
  void Close();

 private:
  // Passes every report on, then wakes the main thread.
  class WakingReporter : public Reporter {
   public:
    WakingReporter(Reporter& target, std::function<void()> wake)
        : target_(target), wake_(std::move(wake)) {}
    void ConversationLine(const std::string& text) override;
    void EventLine(const std::string& text) override;
    void StatusText(const std::string& text) override;
    void ProgramMessage(const std::string& first, const std::string& second,
                        const std::string& third) override;
    void PlayActivitySound() override;
    bool MainFrameMinimised() override;

   private:
    Reporter& target_;
    std::function<void()> wake_;
  };

  void FinishConnect(std::vector<Happening>* found);
  void WatchTalker(std::vector<Happening>* found);
  void CancelConnect();

  ProgramSettings& settings_;
  WakingReporter reporter_;
  Thread* connect_thread_ = nullptr;
  std::vector<Happening> pending_;
  // Talker threads are tagged when first seen, so a new one is never taken
  // for an old one whose memory it reuses.
  int talker_tag_ = 0;
  bool talker_ended_ = true;
};

#endif  // QUILLO_TERM_TERM_SESSION_H
