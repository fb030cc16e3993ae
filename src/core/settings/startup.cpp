#include "core/settings/startup.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/books/address_book.h"
#include "core/settings/program_settings.h"
#include "core/settings/settings_file.h"
#include "core/settings/settings_parts.h"

StartupInputs StartupInputs::FromProcess(int argc, char** argv) {
  StartupInputs inputs;
  for (int i = 0; i < argc; ++i) inputs.Arguments.emplace_back(argv[i]);
  inputs.Environment = [](const std::string& name) -> std::optional<std::string> {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  };
  inputs.WorkingDirectory = CurrentDirectory();
  return inputs;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(1024);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return ".";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

// Saving a conversation changes the current directory, so a relative name
// would later lead settings writes elsewhere; the path is kept in full.
static std::string FullPath(const ProgramSettings& settings, const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  return settings.WorkingDirectory + settings.PathSeparator + path;
}

std::string LocateSettingsFile(const ProgramSettings& settings, const StartupInputs& inputs) {
  if (inputs.Arguments.size() == 3) return FullPath(settings, inputs.Arguments[2]);
  if (inputs.Environment) {
    // An empty value names no file; settings written later would be lost.
    auto named = inputs.Environment(settings.SettingsEnvironmentVariable);
    if (named && !named->empty()) return FullPath(settings, *named);
  }
  return settings.WorkingDirectory + settings.PathSeparator + "quillo.ini";
}

// The built-in home directory: "quillo" in the user's home, or the working
// directory for a user without one.
static std::string DefaultHomeDirectory(const ProgramSettings& settings,
                                        const StartupInputs& inputs) {
  std::optional<std::string> home;
  if (inputs.Environment) home = inputs.Environment("HOME");
  if (!home || home->empty()) return settings.WorkingDirectory;
  return *home + settings.PathSeparator + "quillo";
}

bool RunStartup(ProgramSettings& settings, const StartupInputs& inputs, Reporter* reporter) {
  SettingsFile file;
  settings.WorkingDirectory = inputs.WorkingDirectory;
  settings.HomeDirectory = DefaultHomeDirectory(settings, inputs);
  settings.HelpFilePath =
      settings.WorkingDirectory + settings.PathSeparator + "quillo" + settings.HelpFileExtension;
  settings.SettingsFilePath = LocateSettingsFile(settings, inputs);

  // Without a readable file the defaults stay, unless the command line
  // carries an argument: then the keys are applied and all count as missing.
  bool loaded = file.Load(settings.SettingsFilePath);
  bool has_arguments = inputs.Arguments.size() > 1;
  if (loaded || has_arguments) settings.ApplyStartupKeys(file);

  // The address books open here, from PreviousConnectionsDB and
  // InvitationDB, whether or not the file was read.
  OpenAddressBooks(settings, reporter);

  settings.ApplyPageLayoutKeys(file);
  return loaded;
}

namespace {

// value within [low, high]; low wins when the range is empty.
int32_t Within(int64_t value, int64_t low, int64_t high) {
  return int32_t(std::max(low, std::min(value, high)));
}

}  // namespace

void ClampFrameToScreen(ProgramSettings& settings, const ScreenArea& area) {
  if (area.width <= 0 || area.height <= 0) return;
  settings.MainFrameWidth = Within(settings.MainFrameWidth, 1, area.width);
  settings.MainFrameHeight = Within(settings.MainFrameHeight, 1, area.height);
  settings.MainFrameXPosition = Within(settings.MainFrameXPosition, area.x,
                                       int64_t(area.x) + area.width - settings.MainFrameWidth);
  settings.MainFrameYPosition = Within(settings.MainFrameYPosition, area.y,
                                       int64_t(area.y) + area.height - settings.MainFrameHeight);
  settings.SplitterPosition = Within(settings.SplitterPosition, 0, settings.MainFrameHeight);
}

bool SaveFrameGeometry(const ProgramSettings& settings, int width, int height, int x, int y,
                       int splitter_position) {
  if (settings.RememberProgramSettings != 1 || settings.RememberFrameSize != 1) return true;
  SettingsFile file(settings.SettingsFilePath);
  const std::pair<const char*, int> keys[] = {{"MainFrameWidth", width},
                                              {"MainFrameHeight", height},
                                              {"MainFrameXPosition", x},
                                              {"MainFrameYPosition", y},
                                              {"SplitterPosition", splitter_position}};
  int failed_errno = 0;
  for (const auto& [key, value] : keys) {
    if (file.PutInt(key, value) == 0 && failed_errno == 0) failed_errno = errno;
  }
  errno = failed_errno;
  return failed_errno == 0;
}
