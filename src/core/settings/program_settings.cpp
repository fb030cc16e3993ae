#include "core/settings/program_settings.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <string>

#include "core/settings/settings_file.h"

ProgramSettings* TheProgramSettings = nullptr;

namespace {

// Keyword values compare without regard to ASCII case.
bool IsWord(const std::optional<std::string>& value, const char* word) {
  if (!value || value->size() != std::strlen(word)) return false;
  for (size_t i = 0; i < value->size(); ++i) {
    unsigned char a = static_cast<unsigned char>((*value)[i]);
    unsigned char b = static_cast<unsigned char>(word[i]);
    if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a + ('a' - 'A'));
    if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b + ('a' - 'A'));
    if (a != b) return false;
  }
  return true;
}

// The position of value among words, or -1.
int WordIndex(const std::optional<std::string>& value, std::initializer_list<const char*> words) {
  int index = 0;
  for (const char* word : words) {
    if (IsWord(value, word)) return index;
    ++index;
  }
  return -1;
}

bool IsDirectory(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Creates one level of directory when it does not exist yet.
bool EnsureDirectory(const std::string& path) {
  return IsDirectory(path) || ::mkdir(path.c_str(), 0777) == 0;
}

}  // namespace

ProgramSettings::ProgramSettings() {
  const char* home = std::getenv("HOME");
  HomeDirectory = (home && *home) ? std::string(home) + "/quillo" : std::string(".");
}

ProgramSettings::~ProgramSettings() = default;

void ProgramSettings::ApplyStartupKeys(const SettingsFile& file) {
  if (auto home = file.GetString("HomeDirectory")) HomeDirectory = *home;
  if (!EnsureDirectory(HomeDirectory)) HomeDirectory = WorkingDirectory;
  ApplyIdentityKeys(file);
  ApplySoundAndBookKeys(file);
  ApplyViewKeys(file);
}

void ProgramSettings::ApplyIdentityKeys(const SettingsFile& file) {
  auto screen_name = file.GetString("ScreenName");
  ScreenName = screen_name ? screen_name->substr(0, kMaxScreenName) : "Quillo";
  if (auto welcome = file.GetString("WelcomeMessageFile")) WelcomeMessageFile = *welcome;
  if (auto mail_server = file.GetString("MailServer")) MailServer = *mail_server;
  if (auto address = file.GetString("ReturnEmailAddress")) ReturnEmailAddress = *address;

  int32_t mail_port = file.GetInt("MailServerPortNumber");
  if (mail_port >= 1 && mail_port <= 65534) MailServerPortNumber = mail_port;
  int32_t key = file.GetInt("EncryptionKey");
  if (key > 1023) EncryptionKey = static_cast<uint16_t>(key & 0xFFFF);
  // Above 65535 a number names no TCP port; taking it would make the host
  // listen on a port other than the one it reports.
  int32_t port = file.GetInt("QuilloPortNumber");
  if (port > 1024 && port <= 65535) QuilloPortNumber = port;
  // An unknown word keeps the default, which offers private sessions.
  if (auto mode = file.GetString("PrivateSessions")) ParsePrivateMode(*mode, &PrivateSessions);
  if (auto passphrase = file.GetString("PrivatePassphrase")) PrivatePassphrase = *passphrase;
}

void ProgramSettings::ApplySoundAndBookKeys(const SettingsFile& file) {
  if (IsWord(file.GetString("EnableAudio"), "FALSE")) EnableAudio = 0;
  if (IsWord(file.GetString("EnableNotifications"), "FALSE")) EnableNotifications = 0;
  const int text = WordIndex(file.GetString("NotificationText"), {"Full", "NameOnly"});
  if (text >= 0) NotificationText = text == 0 ? kNoticeFull : kNoticeNameOnly;
  // The sound command takes the file name in double quotes.
  auto audio = file.GetString("AudioFile");
  AudioFile = "\"" + (audio ? *audio : WorkingDirectory + PathSeparator + "activity.wav") + "\"";
  if (auto book = file.GetString("PreviousConnectionsDB")) PreviousConnectionsDB = *book;
  if (auto book = file.GetString("InvitationDB")) InvitationDB = *book;
}

void ProgramSettings::ApplyViewKeys(const SettingsFile& file) {
  if (IsWord(file.GetString("RememberProgramSettings"), "TRUE")) RememberProgramSettings = 1;
  if (IsWord(file.GetString("RememberFrameSize"), "TRUE")) RememberFrameSize = 1;
  if (IsWord(file.GetString("ViewToolBar"), "FALSE")) ViewToolBar = 0;
  if (IsWord(file.GetString("ToolBarOrientation"), "Vertical")) ToolBarOrientation = 0;
  if (!RememberProgramSettings) return;
  if (IsWord(file.GetString("ViewStatusWindow"), "FALSE")) ViewStatusWindow = 0;
  if (IsWord(file.GetString("ViewRowLabels"), "TRUE")) ViewRowLabels = 1;
  if (IsWord(file.GetString("ViewColLabels"), "FALSE")) ViewColLabels = 0;
  if (!RememberFrameSize) return;
  MainFrameXPosition = file.GetInt("MainFrameXPosition");
  MainFrameYPosition = file.GetInt("MainFrameYPosition");
  int32_t width = file.GetInt("MainFrameWidth");
  if (width >= 100) MainFrameWidth = width;
  int32_t height = file.GetInt("MainFrameHeight");
  if (height >= 100) MainFrameHeight = height;
  int32_t splitter = file.GetInt("SplitterPosition");
  if (splitter >= 50) SplitterPosition = splitter;
}

void ProgramSettings::ApplyPageLayoutKeys(const SettingsFile& file) {
  int32_t font_size = file.GetInt("mswpFontSize");
  if (font_size > 0) PageLayout.FontSize = font_size;
  int32_t left_margin = file.GetInt("mswpLeftMargin");
  if (left_margin > 0) PageLayout.LeftMargin = left_margin;

  auto orientation = file.GetString("mswpOrientation");
  if (IsWord(orientation, "PORTRAIT")) PageLayout.PageOrientation = PrintSettings::kPortrait;
  if (IsWord(orientation, "LANDSCAPE")) PageLayout.PageOrientation = PrintSettings::kLandscape;
  int paper =
      WordIndex(file.GetString("mswpPaperSize"), {"Letter", "Legal", "Tabloid", "A3", "A4"});
  if (paper >= 0) PageLayout.PaperIndex = paper;
  int family = WordIndex(file.GetString("mswpFont"),
                         {"Swiss", "Roman", "Decorative", "Modern", "Script", "System"});
  if (family >= 0) PageLayout.FamilyIndex = family;
  if (auto name = file.GetString("mswpDocumentName")) mswpDocumentName = *name;
}
