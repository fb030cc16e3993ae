#include "core/settings/settings_parts.h"

#include "core/books/address_book.h"
#include "core/settings/program_settings.h"

SessionSnapshot SessionSnapshotOf(const ProgramSettings& settings) {
  SessionSnapshot snapshot;
  snapshot.screen_name = settings.ScreenName;
  snapshot.greeting = settings.GreetingText;
  snapshot.key = settings.EncryptionKey;
  snapshot.port = settings.QuilloPortNumber;
  snapshot.audio = settings.EnableAudio != 0;
  snapshot.audio_file = settings.AudioFile;
  snapshot.private_mode =
      settings.PrivateSessionsAvailable ? settings.PrivateSessions : PrivateMode::kOff;
  snapshot.passphrase = settings.PrivatePassphrase;
  return snapshot;
}

MailJob MailJobOf(const ProgramSettings& settings) {
  MailJob job;
  job.MailServer = settings.MailServer;
  job.MailServerPortNumber = settings.MailServerPortNumber;
  job.ReturnEmailAddress = settings.ReturnEmailAddress;
  job.MailRecipient = settings.MailRecipient;
  job.InvitationSubject = settings.InvitationSubject;
  job.MailMessage = settings.MailMessage;
  return job;
}

void OpenAddressBooks(ProgramSettings& settings, Reporter* reporter) {
  settings.PreviousConnectionsBook =
      OpenAddressBook(settings.PreviousConnectionsDB, settings.PreviousConnectionsBook, false,
                      reporter, settings.DataFileExtension, settings.IndexFileExtension);
  settings.InvitationBook =
      OpenAddressBook(settings.InvitationDB, settings.InvitationBook, false, reporter,
                      settings.DataFileExtension, settings.IndexFileExtension);
}

bool ScreenNameIsDefault(const ProgramSettings& settings) {
  return settings.ScreenName == "Quillo";
}

void AcceptScreenName(ProgramSettings& settings, const std::string& entry, bool for_host) {
  settings.ScreenName = entry.substr(0, ProgramSettings::kMaxScreenName);
  if (for_host) settings.GreetingText = "Welcome to the " + settings.ScreenName + " chat session";
}
