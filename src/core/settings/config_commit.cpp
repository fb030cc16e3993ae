#include "core/settings/config_commit.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>

#include "core/settings/panel_fields.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_file.h"

namespace {

bool DirectoryExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeDirectory(const std::string& path) {
  return DirectoryExists(path) || ::mkdir(path.c_str(), 0777) == 0;
}

// Writes one key; a failure is noted in outcome and the rest go on.
void Put(const ProgramSettings& settings, const std::string& key, const std::string& value,
         ConfigCommitOutcome& outcome) {
  SettingsFile file(settings.SettingsFilePath);
  if (file.Put(key, value) != 0 || outcome.unsaved) return;
  outcome.unsaved = true;
  outcome.error = errno;
}

void PutInt(const ProgramSettings& settings, const std::string& key, int32_t value,
            ConfigCommitOutcome& outcome) {
  Put(settings, key, std::to_string(value), outcome);
}

// "host:port" names the server and its port; the port is what follows the
// first colon, the host what precedes the last one.
void CommitMailServer(const std::string& field, ProgramSettings& settings,
                      ConfigCommitOutcome& outcome) {
  const size_t first_colon = field.find(':');
  if (first_colon == std::string::npos) {
    settings.MailServer = field;
  } else {
    const int32_t port = FieldNumber(field.substr(first_colon + 1));
    if (port != settings.MailServerPortNumber) {
      settings.MailServerPortNumber = port;
      PutInt(settings, "MailServerPortNumber", port, outcome);
    }
    settings.MailServer = field.substr(0, field.rfind(':'));
  }
  Put(settings, "MailServer", settings.MailServer, outcome);
}

}  // namespace

ConfigFields ConfigFields::From(const ProgramSettings& settings) {
  ConfigFields fields;
  fields.ScreenName = settings.ScreenName;
  fields.Greeting = settings.GreetingText;
  fields.Port = std::to_string(settings.QuilloPortNumber);
  fields.Key = std::to_string(settings.EncryptionKey);
  fields.HomeDirectory = settings.HomeDirectory;
  fields.MailServer = settings.MailServer;
  fields.ReturnEmailAddress = settings.ReturnEmailAddress;
  fields.EnableAudio = settings.EnableAudio != 0;
  fields.EnableNotifications = settings.EnableNotifications != 0;
  fields.PrivateSessions = settings.PrivateSessions;
  fields.PrivatePassphrase = settings.PrivatePassphrase;
  return fields;
}

bool ConfigIsModified(const ConfigFields& fields, const ProgramSettings& settings) {
  return fields.HomeDirectory != settings.HomeDirectory ||
         fields.ScreenName != settings.ScreenName ||
         FieldNumber(fields.Port) != settings.QuilloPortNumber ||
         FieldNumber(fields.Key) != static_cast<int32_t>(settings.EncryptionKey) ||
         fields.MailServer != settings.MailServer ||
         fields.ReturnEmailAddress != settings.ReturnEmailAddress ||
         fields.Greeting != settings.GreetingText ||
         fields.EnableAudio != (settings.EnableAudio != 0) ||
         fields.EnableNotifications != (settings.EnableNotifications != 0) ||
         fields.PrivateSessions != settings.PrivateSessions ||
         fields.PrivatePassphrase != settings.PrivatePassphrase;
}

ConfigCommitOutcome CommitConfig(const ConfigFields& fields, ProgramSettings& settings) {
  ConfigCommitOutcome outcome;
  if (fields.ScreenName != settings.ScreenName) {
    settings.ScreenName = CutToBytes(fields.ScreenName, ProgramSettings::kMaxScreenName);
    Put(settings, "ScreenName", fields.ScreenName, outcome);
  }
  if (fields.MailServer != settings.MailServer)
    CommitMailServer(fields.MailServer, settings, outcome);
  if (fields.Greeting != settings.GreetingText) settings.GreetingText = fields.Greeting;
  if (fields.ReturnEmailAddress != settings.ReturnEmailAddress) {
    settings.ReturnEmailAddress = fields.ReturnEmailAddress;
    Put(settings, "ReturnEmailAddress", settings.ReturnEmailAddress, outcome);
  }
  if (fields.HomeDirectory != settings.HomeDirectory) {
    if (!MakeDirectory(fields.HomeDirectory)) {
      outcome.result = ConfigCommitResult::kHomeDirectoryFailed;
      return outcome;
    }
    settings.HomeDirectory = fields.HomeDirectory;
    Put(settings, "HomeDirectory", settings.HomeDirectory, outcome);
  }
  if (fields.EnableAudio != (settings.EnableAudio != 0)) {
    settings.EnableAudio = fields.EnableAudio ? 1 : 0;
    Put(settings, "EnableAudio", fields.EnableAudio ? "TRUE" : "FALSE", outcome);
  }
  if (fields.EnableNotifications != (settings.EnableNotifications != 0)) {
    settings.EnableNotifications = fields.EnableNotifications ? 1 : 0;
    Put(settings, "EnableNotifications", fields.EnableNotifications ? "TRUE" : "FALSE", outcome);
  }
  const int32_t port = FieldNumber(fields.Port);
  if (port != settings.QuilloPortNumber) {
    settings.QuilloPortNumber = port;
    PutInt(settings, "QuilloPortNumber", port, outcome);
  }
  const int32_t key = FieldNumber(fields.Key);
  if (key != static_cast<int32_t>(settings.EncryptionKey)) {
    settings.EncryptionKey = static_cast<uint16_t>(key & 0xFFFF);
    PutInt(settings, "EncryptionKey", settings.EncryptionKey, outcome);
  }
  if (fields.PrivateSessions != settings.PrivateSessions) {
    settings.PrivateSessions = fields.PrivateSessions;
    Put(settings, "PrivateSessions", PrivateModeName(settings.PrivateSessions), outcome);
  }
  if (fields.PrivatePassphrase != settings.PrivatePassphrase) {
    settings.PrivatePassphrase = fields.PrivatePassphrase;
    Put(settings, "PrivatePassphrase", settings.PrivatePassphrase, outcome);
  }
  return outcome;
}
