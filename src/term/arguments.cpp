#include "term/arguments.h"

#include "term/address_text.h"

namespace {

// Walks the arguments, taking each option's value.
class ArgumentWalker {
 public:
  explicit ArgumentWalker(const std::vector<std::string>& arguments) : arguments_(arguments) {}

  ParsedArguments Run() {
    std::vector<std::string> words;
    for (next_ = 0; next_ < arguments_.size() && result_.error.empty();) {
      const std::string argument = arguments_[next_++];
      if (argument == "--help" || argument == "-h") return Verdict(ParsedArguments::Verdict::kHelp);
      if (argument == "--version") return Verdict(ParsedArguments::Verdict::kVersion);
      if (argument.size() > 1 && argument[0] == '-') {
        Option(argument);
      } else {
        words.push_back(argument);
      }
    }
    if (result_.error.empty()) Words(words);
    if (!result_.error.empty()) result_.verdict = ParsedArguments::Verdict::kBad;
    return result_;
  }

 private:
  ParsedArguments Verdict(ParsedArguments::Verdict verdict) {
    result_.verdict = verdict;
    result_.error.clear();
    return result_;
  }

  void Option(const std::string& argument) {
    std::string name = argument;
    std::optional<std::string> value;
    const size_t equals = argument.find('=');
    if (equals != std::string::npos) {
      name = argument.substr(0, equals);
      value = argument.substr(equals + 1);
    }
    TermOptions& o = result_.options;
    if (name == "--once" && !value) {
      o.once = true;
    } else if (name == "--port") {
      if (TakeValue(name, &value)) Number(name, ParsePort(*value), &o.port);
    } else if (name == "--key") {
      if (TakeValue(name, &value)) Number(name, ParseKey(*value), &o.key);
    } else if (name == "--name") {
      if (TakeValue(name, &value)) {
        if (value->empty()) Fail("--name needs a name");
        o.name = *value;
      }
    } else if (name == "--settings") {
      if (TakeValue(name, &value)) {
        if (value->empty()) Fail("--settings needs a file name");
        o.settings_file = *value;
      }
    } else {
      Fail("unknown option " + argument);
    }
  }

  bool TakeValue(const std::string& name, std::optional<std::string>* value) {
    if (value->has_value()) return true;
    if (next_ >= arguments_.size()) {
      Fail(name + " needs a value");
      return false;
    }
    *value = arguments_[next_++];
    return true;
  }

  void Number(const std::string& name, std::optional<int> parsed, std::optional<int>* field) {
    if (!parsed) {
      Fail(name + (name == "--port" ? " takes a number from 1 to 65535"
                                    : " takes a number from 0 to 65535"));
      return;
    }
    *field = parsed;
  }

  void Words(const std::vector<std::string>& words) {
    TermOptions& o = result_.options;
    if (words.empty()) {
      if (o.once) Fail("--once belongs to the host command");
      return;
    }
    if (words[0] == "host" && words.size() == 1) {
      o.start = TermOptions::Start::kHost;
    } else if (words[0] == "connect" && words.size() == 2) {
      o.start = TermOptions::Start::kConnect;
      o.target = words[1];
      if (o.once) Fail("--once belongs to the host command");
    } else if (words[0] == "host" || words[0] == "connect") {
      Fail(words[0] == "host" ? "host takes no address" : "connect takes one address");
    } else {
      Fail("unknown command " + words[0]);
    }
  }

  void Fail(const std::string& why) {
    if (result_.error.empty()) result_.error = why;
  }

  const std::vector<std::string>& arguments_;
  size_t next_ = 0;
  ParsedArguments result_;
};

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& arguments) {
  return ArgumentWalker(arguments).Run();
}

std::string UsageText() {
  return "Usage: quillo-term [OPTIONS]                      talk at a prompt\n"
         "       quillo-term host [--port P] [--once] [OPTIONS]\n"
         "       quillo-term connect HOST[:PORT]|NICKNAME [OPTIONS]\n"
         "\n"
         "On a terminal the program keeps a prompt (type /help there). With\n"
         "standard input not a terminal, connect sends each input line as one\n"
         "message and signs off at the end of the input; host prints the\n"
         "conversation and, with --once, exits when the first partner leaves.\n"
         "\n"
         "Options:\n"
         "  --port P         port to host on or connect to (1-65535)\n"
         "  --key K          encryption key (0-65535)\n"
         "  --name N         screen name for this run\n"
         "  --settings FILE  settings file (else $QUILLO, else ./quillo.ini)\n"
         "  --once           host one partner, then exit\n"
         "  --help, --version\n"
         "\n"
         "Exit status: 0 after a clean sign-off, 1 when the connection failed or\n"
         "broke, 2 for bad arguments.\n";
}
