#include "core/settings/config_commit.h"

#include <sys/stat.h>

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

void Put(const ProgramSettings& settings, const std::string& key, const std::string& value) {
  SettingsFile file(settings.SettingsFilePath);
  file.Put(key, value);
}

void PutInt(const ProgramSettings& settings, const std::string& key, int32_t value) {
  SettingsFile file(settings.SettingsFilePath);
  file.PutInt(key, value);
}

// "host:port" names the server and its port; the port is what follows the
// first colon, the host what precedes the last one.
void CommitMailServer(const std::string& field, ProgramSettings& settings) {
  const size_t first_colon = field.find(':');
  if (first_colon == std::string::npos) {
    settings.MailServer = field;
  } else {
    const int32_t port = FieldNumber(field.substr(first_colon + 1));
    if (port != settings.MailServerPortNumber) {
      settings.MailServerPortNumber = port;
      PutInt(settings, "MailServerPortNumber", port);
    }
    settings.MailServer = field.substr(0, field.rfind(':'));
  }
  Put(settings, "MailServer", settings.MailServer);
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
         fields.PrivateSessions != settings.PrivateSessions ||
         fields.PrivatePassphrase != settings.PrivatePassphrase;
}

ConfigCommitResult CommitConfig(const ConfigFields& fields, ProgramSettings& settings) {
  if (fields.ScreenName != settings.ScreenName) {
    settings.ScreenName = CutToBytes(fields.ScreenName, ProgramSettings::kMaxScreenName);
    Put(settings, "ScreenName", fields.ScreenName);
  }
  if (fields.MailServer != settings.MailServer) CommitMailServer(fields.MailServer, settings);
  if (fields.Greeting != settings.GreetingText) settings.GreetingText = fields.Greeting;
  if (fields.ReturnEmailAddress != settings.ReturnEmailAddress) {
    settings.ReturnEmailAddress = fields.ReturnEmailAddress;
    Put(settings, "ReturnEmailAddress", settings.ReturnEmailAddress);
  }
  if (fields.HomeDirectory != settings.HomeDirectory) {
    if (!MakeDirectory(fields.HomeDirectory)) return ConfigCommitResult::kHomeDirectoryFailed;
    settings.HomeDirectory = fields.HomeDirectory;
    Put(settings, "HomeDirectory", settings.HomeDirectory);
  }
  if (fields.EnableAudio != (settings.EnableAudio != 0)) {
    settings.EnableAudio = fields.EnableAudio ? 1 : 0;
    Put(settings, "EnableAudio", fields.EnableAudio ? "TRUE" : "FALSE");
  }
  const int32_t port = FieldNumber(fields.Port);
  if (port != settings.QuilloPortNumber) {
    settings.QuilloPortNumber = port;
    PutInt(settings, "QuilloPortNumber", port);
  }
  const int32_t key = FieldNumber(fields.Key);
  if (key != static_cast<int32_t>(settings.EncryptionKey)) {
    settings.EncryptionKey = static_cast<uint16_t>(key & 0xFFFF);
    PutInt(settings, "EncryptionKey", settings.EncryptionKey);
  }
  if (fields.PrivateSessions != settings.PrivateSessions) {
    settings.PrivateSessions = fields.PrivateSessions;
    Put(settings, "PrivateSessions", PrivateModeName(settings.PrivateSessions));
  }
  if (fields.PrivatePassphrase != settings.PrivatePassphrase) {
    settings.PrivatePassphrase = fields.PrivatePassphrase;
    Put(settings, "PrivatePassphrase", settings.PrivatePassphrase);
  }
  return ConfigCommitResult::kCommitted;
}
