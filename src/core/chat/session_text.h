#ifndef QUILLO_CORE_CHAT_SESSION_TEXT_H
#define QUILLO_CORE_CHAT_SESSION_TEXT_H

#include <mutex>
#include <string>

// A text session field that one thread may write while another reads it
// (the greeting, which the Config panel changes while the server thread
// answers callers; the peer's name, which a greeter sets while the GUI
// thread ends a conversation). Every access copies under a short lock.
class SessionText {
 public:
  SessionText() = default;
  SessionText(const SessionText&) = delete;
  SessionText& operator=(const SessionText&) = delete;

  std::string Get() const;
  void Set(const std::string& text);
  // Sets the text only while it is empty; returns the text now held.
  std::string SetIfEmpty(const std::string& text);

 private:
  mutable std::mutex lock_;
  std::string text_;
};

#endif  // QUILLO_CORE_CHAT_SESSION_TEXT_H
