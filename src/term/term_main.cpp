// quillo-term: Quillo conversations from a terminal or a script, on the
// window-free library.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/crypto/crypto_init.h"
#include "core/settings/program_settings.h"
#include "core/settings/startup.h"
#include "term/arguments.h"
#include "term/exit_status.h"
#include "term/interactive_mode.h"
#include "term/script_mode.h"
#include "term/term_reporter.h"

namespace {

// The settings file is found by the desktop program's rules; --settings
// stands for its two-argument form, so the subcommands are never taken for
// a file name.
StartupInputs TermStartupInputs(int argc, char** argv, const TermOptions& options) {
  StartupInputs inputs = StartupInputs::FromProcess(argc > 0 ? 1 : 0, argv);
  if (inputs.Arguments.empty()) inputs.Arguments.push_back("quillo-term");
  if (options.settings_file) {
    inputs.Arguments.push_back("--settings");
    inputs.Arguments.push_back(*options.settings_file);
  }
  return inputs;
}

// What start-up has to say (a book that cannot be opened, an index
// rebuilt) goes to standard error before either mode takes the terminal.
class StartupNotices : public TermOutput {
 public:
  void Write(Stream, const std::string& text) override { std::fputs(text.c_str(), stderr); }
};

void ApplyOptions(const TermOptions& options, ProgramSettings& settings) {
  if (options.port) settings.QuilloPortNumber = *options.port;
  if (options.key) settings.EncryptionKey = static_cast<uint16_t>(*options.key);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const ParsedArguments parsed = ParseArguments(arguments);
  switch (parsed.verdict) {
    case ParsedArguments::Verdict::kHelp:
      std::fputs(UsageText().c_str(), stdout);
      return 0;
    case ParsedArguments::Verdict::kVersion: {
      const ProgramSettings defaults;
      std::printf("quillo-term %s\n", defaults.VersionText.c_str());
      return 0;
    }
    case ParsedArguments::Verdict::kBad:
      std::fprintf(stderr, "quillo-term: %s\n\n%s", parsed.error.c_str(), UsageText().c_str());
      return kExitBadArguments;
    case ParsedArguments::Verdict::kRun:
      break;
  }
  const TermOptions& options = parsed.options;
  const bool terminal = ::isatty(STDIN_FILENO) == 1;
  if (!terminal && options.start == TermOptions::Start::kPrompt) {
    std::fprintf(stderr, "quillo-term: standard input is not a terminal; say host or connect\n\n%s",
                 UsageText().c_str());
    return kExitBadArguments;
  }

  ProgramSettings settings;
  TheProgramSettings = &settings;
  settings.PrivateSessionsAvailable = InitCrypto();
  if (!settings.PrivateSessionsAvailable) {
    std::fprintf(stderr,
                 "quillo-term: the crypto library could not be started; private sessions are "
                 "off for this run\n");
  }
  StartupNotices notices;
  TermReporter startup_reporter(notices);
  RunStartup(settings, TermStartupInputs(argc, argv, options), &startup_reporter);
  ApplyOptions(options, settings);
  const int status = terminal ? RunInteractive(options, settings) : RunScript(options, settings);
  TheProgramSettings = nullptr;
  return status;
}
