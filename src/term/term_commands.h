#ifndef QUILLO_TERM_TERM_COMMANDS_H
#define QUILLO_TERM_TERM_COMMANDS_H

#include <optional>
#include <string>

class ProgramSettings;
class TermOutput;
class TermReporter;
class TermSession;

// The commands of quillo-term as the prompt and the script modes both run
// them: each reads and writes the settings as the desktop program's
// matching button or panel does and reports through the output. Main
// thread only; everything handed in must outlive it.
class TermCommands {
 public:
  TermCommands(ProgramSettings& settings, TermSession& session, TermReporter& reporter,
               TermOutput& output)
      : settings_(settings), session_(session), reporter_(reporter), output_(output) {}

  // Hosts on port, or on the settings' port.
  bool Host(std::optional<int> port);
  // Calls a nickname from the previous-connections book or ADDRESS[:PORT],
  // recording the call in the book. False when text is neither (said so)
  // or a session is running.
  bool Connect(const std::string& text, std::optional<int> key);
  void Stats();
  // Writes the conversation, as the desktop program saves it, to file.
  void Save(const std::string& file);
  // Screen name and key, applied and written to the settings file as the
  // Config panel does.
  void Name(const std::string& name);
  void Key(int key);
  // The answer to the screen-name question asked before Host and Connect,
  // kept in the settings file as the desktop program keeps it.
  void AnswerScreenNameQuestion(const std::string& name, bool for_host);
  void Notice(const std::string& text);

 private:
  ProgramSettings& settings_;
  TermSession& session_;
  TermReporter& reporter_;
  TermOutput& output_;
};

#endif  // QUILLO_TERM_TERM_COMMANDS_H
