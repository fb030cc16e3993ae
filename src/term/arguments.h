#ifndef QUILLO_TERM_ARGUMENTS_H
#define QUILLO_TERM_ARGUMENTS_H

#include <optional>
#include <string>
#include <vector>

// What the command line of quillo-term asks for. Values left empty come
// from the settings file.
struct TermOptions {
  enum class Start { kPrompt, kHost, kConnect };
  Start start = Start::kPrompt;
  std::string target;                        // connect: HOST[:PORT] or a nickname
  std::optional<int> port;                   // --port
  std::optional<int> key;                    // --key
  std::optional<std::string> name;           // --name
  std::optional<std::string> settings_file;  // --settings
  bool once = false;                         // host --once
};

struct ParsedArguments {
  enum class Verdict { kRun, kHelp, kVersion, kBad };
  Verdict verdict = Verdict::kRun;
  TermOptions options;
  std::string error;  // why the arguments are bad
};

// Parses the arguments after the program name. Options may come before or
// after the command and take their value as the next argument or after
// '='.
ParsedArguments ParseArguments(const std::vector<std::string>& arguments);

// The usage text, ending with a line end.
std::string UsageText();

#endif  // QUILLO_TERM_ARGUMENTS_H
