#ifndef QUILLO_CORE_SETTINGS_PROGRAM_SETTINGS_H
#define QUILLO_CORE_SETTINGS_PROGRAM_SETTINGS_H

#include <cstdint>
#include <string>

#include "core/books/book_handles.h"
#include "core/crypto/private_channel.h"
#include "core/net/mail_state.h"
#include "core/settings/print_settings.h"

class SettingsFile;

// Every setting of the program and the paths it works out at start-up. One
// instance lives for the whole run, reached through TheProgramSettings;
// tests create their own instances. Only the application (the GUI's frames
// and panels, the terminal program) uses it: a chat session gets a
// SessionSnapshot of it when it starts (settings/session_settings.h), so
// the chat, net and books code never sees this class.
//
// Settings fields are named after their settings-file keys. The mail and
// address-book fields come from the bases, each owned by its own subsystem.
class ProgramSettings : public MailState, public BookHandles {
 public:
  ProgramSettings();
  ~ProgramSettings();
  ProgramSettings(const ProgramSettings&) = delete;
  ProgramSettings& operator=(const ProgramSettings&) = delete;

  // Start-up application of the settings file, each key after its own
  // validity test; a key that is missing or fails its test leaves the field
  // as it is. Expects WorkingDirectory and the default HomeDirectory to be
  // set. Makes sure HomeDirectory exists (creating one level), falling back
  // to WorkingDirectory, and quotes AudioFile for the sound command.
  void ApplyStartupKeys(const SettingsFile& file);
  // The page-layout keys, into PageLayout and mswpDocumentName. Start-up
  // applies them after the address books are open.
  void ApplyPageLayoutKeys(const SettingsFile& file);

 private:
  // The parts of ApplyStartupKeys, in the order they run.
  void ApplyIdentityKeys(const SettingsFile& file);
  void ApplySoundAndBookKeys(const SettingsFile& file);
  void ApplyViewKeys(const SettingsFile& file);

 public:
  // Settings fields, with their built-in defaults.
  int32_t RememberProgramSettings = 0;
  int32_t RememberFrameSize = 0;
  int32_t ViewStatusWindow = 1;
  int32_t ViewRowLabels = 0;
  int32_t ViewColLabels = 1;
  int32_t ViewToolBar = 1;
  int32_t ToolBarOrientation = 1;  // 1 horizontal, 0 vertical
  int32_t MainFrameHeight = 475;
  int32_t MainFrameWidth = 550;
  int32_t MainFrameXPosition = 0;
  int32_t MainFrameYPosition = 0;
  int32_t SplitterPosition = 150;
  std::string HomeDirectory;  // set by the constructor: $HOME/quillo
  std::string WorkingDirectory = "./";
  std::string SettingsFilePath = "quillo.ini";
  std::string SettingsEnvironmentVariable = "QUILLO";
  std::string HelpFilePath = "quillo";
  std::string HelpFileExtension = ".html";
  std::string mswpDocumentName = "Quillo Session";
  uint16_t EncryptionKey = 52917;
  uint16_t DefaultEncryptionKey = 52917;
  int32_t QuilloPortNumber = 59152;
  int32_t DefaultPortNumber = 59152;
  std::string ScreenName = "Quillo";  // at most 24 bytes
  std::string GreetingText;           // empty: the built-in welcome
  std::string MailServer;
  std::string ReturnEmailAddress;
  std::string InvitationSubject = "Quillo Invitation";
  int32_t MailServerPortNumber = 25;
  int32_t EnableAudio = 1;
  // Private sessions: offered (Prefer), compulsory (Require) or never
  // offered (Off); the passphrase joins the key in the password.
  PrivateMode PrivateSessions = PrivateMode::kPrefer;
  std::string PrivatePassphrase;
  // False when the crypto library failed at start-up: sessions then run as
  // if PrivateSessions were Off, whatever the setting says.
  bool PrivateSessionsAvailable = true;
  std::string AudioFile = "activity.wav";
  std::string SaveFileName = "quillo.txt";
  std::string SavedFileName;
  std::string PreviousConnectionsDB = "prevconn";
  std::string InvitationDB = "maillist";
  std::string DataFileExtension = ".ihd";
  std::string IndexFileExtension = ".ihx";
  std::string ProgramTitle = "Quillo";
  std::string VersionText = "4.0";
  std::string HomePageAddress = "https://quillo.example.org/";
  std::string ContactEmailAddress = "support@quillo.example.org";
  std::string VendorName = "Quillo Developers";
  std::string PlatformText = "Linux (wxGTK 3.2)";
  std::string PathSeparator = "/";
  std::string WelcomeMessageFile;  // read at start-up, used by nothing

  // Desktop notifications of lines that arrive while the window is not
  // active: whether to post them, and whether they carry the line's text
  // (kNoticeBySession: not in private sessions, otherwise they do).
  enum : int32_t { kNoticeBySession = 0, kNoticeFull = 1, kNoticeNameOnly = 2 };
  int32_t EnableNotifications = 1;
  int32_t NotificationText = kNoticeBySession;

  // Page layout read from the mswp keys.
  PrintSettings PageLayout;

  // Scale of the event window's gauge.
  int32_t ProgressGaugeScale = 3;

  // The longest screen name a header can carry.
  static constexpr size_t kMaxScreenName = 24;
};

// The program's one ProgramSettings, published by start-up.
extern ProgramSettings* TheProgramSettings;

#endif  // QUILLO_CORE_SETTINGS_PROGRAM_SETTINGS_H
