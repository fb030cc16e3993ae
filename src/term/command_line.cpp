#include "term/command_line.h"

#include <sstream>
#include <vector>

#include "term/address_text.h"

namespace {

using Kind = PromptCommand::Kind;

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

PromptCommand Bad(const std::string& why) {
  PromptCommand command;
  command.kind = Kind::kBad;
  command.text = why;
  return command;
}

PromptCommand Simple(Kind kind) {
  PromptCommand command;
  command.kind = kind;
  return command;
}

// Commands whose argument is the rest of the line (names and file names
// may hold blanks).
PromptCommand RestOfLine(Kind kind, const std::string& verb, const std::string& rest) {
  if (rest.empty())
    return Bad(verb + (kind == Kind::kSave ? " needs a file name" : " needs a name"));
  PromptCommand command = Simple(kind);
  command.text = rest;
  return command;
}

PromptCommand Host(const std::vector<std::string>& words) {
  if (words.size() > 2) return Bad("usage: /host [PORT]");
  PromptCommand command = Simple(Kind::kHost);
  if (words.size() == 2) {
    command.port = ParsePort(words[1]);
    if (!command.port) return Bad("/host: the port is a number from 1 to 65535");
  }
  return command;
}

PromptCommand Connect(const std::vector<std::string>& words) {
  if (words.size() < 2 || words.size() > 3) return Bad("usage: /connect ADDRESS[:PORT] [KEY]");
  PromptCommand command = Simple(Kind::kConnect);
  command.text = words[1];
  if (words.size() == 3) {
    command.key = ParseKey(words[2]);
    if (!command.key) return Bad("/connect: the key is a number from 0 to 65535");
  }
  return command;
}

PromptCommand Key(const std::vector<std::string>& words) {
  if (words.size() != 2) return Bad("usage: /key N");
  PromptCommand command = Simple(Kind::kKey);
  command.key = ParseKey(words[1]);
  if (!command.key) return Bad("/key: the key is a number from 0 to 65535");
  return command;
}

}  // namespace

PromptCommand ParsePromptLine(const std::string& line) {
  if (line.empty()) return Simple(Kind::kNothing);
  if (line[0] != '/' || line.compare(0, 2, "//") == 0) {
    PromptCommand say = Simple(Kind::kSay);
    say.text = line[0] == '/' ? line.substr(1) : line;
    return say;
  }
  std::vector<std::string> words;
  std::istringstream split(line);
  for (std::string word; split >> word;) words.push_back(word);
  const std::string verb = words.empty() ? std::string("/") : words[0];
  const std::string rest = Trim(line.substr(verb.size()));
  const bool alone = words.size() == 1;
  if (verb == "/host") return Host(words);
  if (verb == "/connect") return Connect(words);
  if (verb == "/key") return Key(words);
  if (verb == "/save") return RestOfLine(Kind::kSave, verb, rest);
  if (verb == "/name") return RestOfLine(Kind::kName, verb, rest);
  const struct {
    const char* verb;
    Kind kind;
  } plain[] = {{"/end", Kind::kEnd},
               {"/stats", Kind::kStats},
               {"/help", Kind::kHelp},
               {"/quit", Kind::kQuit}};
  for (const auto& entry : plain) {
    if (verb != entry.verb) continue;
    if (!alone) return Bad(verb + " takes nothing after it");
    return Simple(entry.kind);
  }
  return Bad("unknown command " + verb + " (type /help; start a message with // to send a /)");
}

std::string PromptHelpText() {
  return "Commands:\n"
         "  /host [PORT]                    open your line for one partner at a time\n"
         "  /connect ADDRESS[:PORT] [KEY]   call a Quillo line (remembered under ADDRESS[:PORT])\n"
         "                                  an IPv6 address with a port: [2001:db8::5]:PORT\n"
         "  /connect NICKNAME               call a line from your previous connections\n"
         "  /end                            sign off and stop hosting\n"
         "  /stats                          show the session's statistics\n"
         "  /save FILE                      save the conversation to FILE\n"
         "  /name NAME                      set your screen name (kept in the settings file)\n"
         "  /key N                          set the encryption key (kept in the settings file)\n"
         "  /help                           this text\n"
         "  /quit                           sign off and quit (as Ctrl-D does)\n"
         "Any other line is sent as a message; start it with // to send one beginning with /.\n";
}
