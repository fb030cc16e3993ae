#ifndef QUILLO_CORE_SETTINGS_STARTUP_H
#define QUILLO_CORE_SETTINGS_STARTUP_H

#include <functional>
#include <optional>
#include <string>
#include <vector>

class ProgramSettings;
class Reporter;

// What start-up takes from the process. The program fills it from its real
// command line, environment and current directory (FromProcess); tests give
// their own.
struct StartupInputs {
  // The command line, the program name first.
  std::vector<std::string> Arguments;
  // Looks up an environment variable; none when it is not set.
  std::function<std::optional<std::string>(const std::string& name)> Environment;
  // The process's current directory.
  std::string WorkingDirectory;

  static StartupInputs FromProcess(int argc, char** argv);
};

// The process's current directory, or "." when it cannot be read.
std::string CurrentDirectory();

// Works out the program's paths, reads the settings file and applies it to
// settings, which the caller has created with its built-in defaults (and,
// in the program, published as TheProgramSettings). Returns whether the
// settings file was read. A missing file simply leaves the defaults; what
// opening the address books has to say (a book that cannot be opened, an
// index rebuilt) goes to reporter, which may be null. Start-up runs before
// any window exists, so the program hands it a HeldReporter.
bool RunStartup(ProgramSettings& settings, const StartupInputs& inputs,
                Reporter* reporter = nullptr);

// The settings file's full path: with exactly two arguments the second,
// else the file named by the environment variable, else quillo.ini in the
// working directory. A relative name is taken from the working directory.
std::string LocateSettingsFile(const ProgramSettings& settings, const StartupInputs& inputs);

// The part of the screen a window may take (the display less panels).
struct ScreenArea {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Brings the frame geometry read from the settings file onto area: the
// frame no larger than the area and lying inside it, the splitter inside
// the frame. A file may hold any number; a frame of 2147483647 pixels would
// take the toolkit seconds to make and then not fit. An empty area (no
// display known) leaves the settings alone.
void ClampFrameToScreen(ProgramSettings& settings, const ScreenArea& area);

// The close sequence's geometry step: when both RememberProgramSettings and
// RememberFrameSize are on, writes the five geometry keys (in this order)
// to the settings file. false when one could not be written (errno says
// why); the others are still tried.
bool SaveFrameGeometry(const ProgramSettings& settings, int width, int height, int x, int y,
                       int splitter_position);

#endif  // QUILLO_CORE_SETTINGS_STARTUP_H
