#include "term/term_commands.h"

#include "core/settings/config_commit.h"
#include "core/settings/panel_fields.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_file.h"
#include "term/connection_target.h"
#include "term/replace_file.h"
#include "term/term_reporter.h"
#include "term/term_session.h"

bool TermCommands::Host(std::optional<int> port) {
  return session_.Host(port.value_or(settings_.QuilloPortNumber));
}

bool TermCommands::Connect(const std::string& text, std::optional<int> key) {
  const std::optional<ConnectionTarget> target =
      ResolveConnectionTarget(settings_.PreviousConnectionsBook, text, key,
                              settings_.QuilloPortNumber, settings_.EncryptionKey);
  if (!target) {
    Notice("Not an address or a previous connection: " + text + "\n");
    return false;
  }
  // While a session runs, the session refuses and says why; nothing changes.
  if (session_.CurrentState() == TermSession::State::kIdle) {
    settings_.EncryptionKey = static_cast<uint16_t>(target->key);
    RecordConnectionTarget(settings_.PreviousConnectionsBook, *target);
  }
  return session_.Connect(target->address, target->port);
}

void TermCommands::Stats() {
  std::string text;
  for (const std::string& line : session_.Stats()) text += line + "\n";
  Notice(text);
}

void TermCommands::Save(const std::string& file) {
  if (ReplaceFile(file, reporter_.Transcript())) {
    Notice("Saved " + file + "\n");
  } else {
    Notice("Cannot write to the " + file + " file!\n");
  }
}

void TermCommands::Name(const std::string& name) {
  ConfigFields fields = ConfigFields::From(settings_);
  fields.ScreenName = name;
  CommitConfig(fields, settings_);
  Notice("Your screen name is " + settings_.ScreenName + "\n");
}

void TermCommands::Key(int key) {
  ConfigFields fields = ConfigFields::From(settings_);
  fields.Key = std::to_string(key);
  CommitConfig(fields, settings_);
  Notice("The encryption key is " + std::to_string(settings_.EncryptionKey) + "\n");
}

void TermCommands::AnswerScreenNameQuestion(const std::string& name, bool for_host) {
  session_.SetScreenName(CutToBytes(name, ProgramSettings::kMaxScreenName), for_host);
  SettingsFile file(settings_.SettingsFilePath);
  file.Put("ScreenName", settings_.ScreenName);
}

void TermCommands::Notice(const std::string& text) {
  output_.Write(TermOutput::Stream::kNotice, text);
}
