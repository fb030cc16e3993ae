#ifndef QUILLO_CORE_SETTINGS_CONFIG_COMMIT_H
#define QUILLO_CORE_SETTINGS_CONFIG_COMMIT_H

#include <string>

#include "core/crypto/private_channel.h"

class ProgramSettings;

// The Config panel's fields as typed (untrimmed program bytes), and the two
// questions the panel asks about them: is anything changed, and apply the
// changes. Kept free of the toolkit so the rules can be checked without a
// display.
struct ConfigFields {
  std::string ScreenName;
  std::string Port;
  std::string Key;
  std::string Greeting;
  std::string HomeDirectory;
  std::string MailServer;
  std::string ReturnEmailAddress;
  bool EnableAudio = false;
  bool EnableNotifications = false;
  PrivateMode PrivateSessions = PrivateMode::kPrefer;
  std::string PrivatePassphrase;

  // The fields as LoadFields shows the settings.
  static ConfigFields From(const ProgramSettings& settings);
};

// Whether any field differs from the settings, tested in the panel's order.
// The key field's whole number is compared with the 16-bit key, so a key
// above 65535 always counts as a change.
bool ConfigIsModified(const ConfigFields& fields, const ProgramSettings& settings);

// What Commit did.
enum class ConfigCommitResult {
  kCommitted,
  // The home directory was neither there nor creatable; the screen name,
  // mail server, greeting and return address were applied (and written)
  // already, audio, port and key were not.
  kHomeDirectoryFailed,
};

struct ConfigCommitOutcome {
  ConfigCommitResult result = ConfigCommitResult::kCommitted;
  // The settings file could not take a key (it stays as it was; the value
  // applies in memory all the same), and errno from the first failure.
  bool unsaved = false;
  int error = 0;
};

// Applies every changed field to the settings and writes each changed key
// at once to the settings file (SettingsFilePath), in the panel's order:
// ScreenName (the field's whole text; the setting keeps the first 24
// bytes), MailServer and MailServerPortNumber ("host:port" splits),
// the greeting (memory only), ReturnEmailAddress, HomeDirectory (created
// when missing), EnableAudio, EnableNotifications, QuilloPortNumber and EncryptionKey (the key's
// low 16 bits, which is what the program uses), PrivateSessions (its
// word) and PrivatePassphrase (as typed; empty means none).
ConfigCommitOutcome CommitConfig(const ConfigFields& fields, ProgramSettings& settings);

#endif  // QUILLO_CORE_SETTINGS_CONFIG_COMMIT_H
