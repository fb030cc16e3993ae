#ifndef QUILLO_TERM_COMMAND_LINE_H
#define QUILLO_TERM_COMMAND_LINE_H

#include <optional>
#include <string>

// One line typed at the prompt: a message to send, or a command starting
// with '/'. A line starting with "//" is a message starting with one '/'.
struct PromptCommand {
  enum class Kind {
    kNothing,  // an empty line
    kSay,
    kHost,
    kConnect,
    kEnd,
    kStats,
    kSave,
    kName,
    kKey,
    kHelp,
    kQuit,
    kBad,
  };
  Kind kind = Kind::kNothing;
  // kSay: the message; kConnect: the address or nickname; kSave: the file;
  // kName: the name; kBad: what is wrong, for the user.
  std::string text;
  std::optional<int> port;  // kHost
  std::optional<int> key;   // kConnect, kKey
};

PromptCommand ParsePromptLine(const std::string& line);

// The /help text, ending with a line end.
std::string PromptHelpText();

#endif  // QUILLO_TERM_COMMAND_LINE_H
